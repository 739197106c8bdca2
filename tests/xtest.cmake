find_package(X11 COMPONENTS Xtst)
if(X11_Xtst_FOUND)
  target_link_libraries(tst_x11_keys PRIVATE X11::X11 X11::Xtst)
endif()
