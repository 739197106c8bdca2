# The key tests press keys on the X server themselves, through XTest.
if(TARGET tst_x11_keys)
  find_package(X11 COMPONENTS Xtst)
  if(X11_FOUND AND X11_Xtst_FOUND)
    target_link_libraries(tst_x11_keys PRIVATE X11::X11 X11::Xtst)
  endif()
endif()
