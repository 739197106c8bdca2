# Tests that press keys on the X server themselves, through XTest.
find_package(X11 COMPONENTS Xtst)
foreach(test_name IN ITEMS tst_x11_keys tst_x11_about)
  if(TARGET ${test_name} AND X11_FOUND AND X11_Xtst_FOUND)
    target_link_libraries(${test_name} PRIVATE X11::X11 X11::Xtst)
  endif()
endforeach()
