# Stand-ins for the vendor's phidget21 library, each libphidget21.so.0 in a folder of its own: one the
# client finds through the library search path and the test links to raise events, one lacking a function.
find_package(Threads REQUIRED)
foreach(variant IN ITEMS fake_phidget21 fake_phidget21_partial)
  add_library(${variant} SHARED "${CMAKE_CURRENT_SOURCE_DIR}/fake_phidget21/fake_phidget21.cpp")
  set_target_properties(${variant} PROPERTIES OUTPUT_NAME phidget21 SOVERSION 0
    LIBRARY_OUTPUT_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}/${variant}" CXX_VISIBILITY_PRESET hidden
    RUNTIME_OUTPUT_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}/${variant}") # where a DLL goes
  if(WIN32)
    set_target_properties(${variant} PROPERTIES PREFIX "") # phidget21.dll, never libphidget21.dll
  endif()
  target_link_libraries(${variant} PRIVATE Threads::Threads)
endforeach()
target_compile_definitions(fake_phidget21_partial PRIVATE FAKE_PHIDGET21_WITHOUT_VERSION)
# The trigger's tests: the core's and the window's.
foreach(test tst_trigger tst_start_under_load tst_remote_starter tst_start_trigger tst_about)
  target_link_libraries(${test} PRIVATE fake_phidget21)
  add_dependencies(${test} fake_phidget21_partial)
  target_compile_definitions(${test} PRIVATE FAKE_PHIDGET21_PARTIAL="$<TARGET_FILE:fake_phidget21_partial>"
    FAKE_PHIDGET21="$<TARGET_FILE:fake_phidget21>")
  if(WIN32) # a DLL is found on the PATH
    string(REPLACE ";" "\\;" path "${CMAKE_CURRENT_BINARY_DIR}/fake_phidget21;$ENV{PATH}")
    set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT "PATH=${path}")
  else()
    set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT "LD_LIBRARY_PATH=${CMAKE_CURRENT_BINARY_DIR}/fake_phidget21")
  endif()
endforeach()
