# The idle inhibition on real headless Wayland compositors, with the real client.
add_test(NAME wayland_idle_inhibit COMMAND "${CMAKE_CURRENT_SOURCE_DIR}/wayland_idle_inhibit.sh" $<TARGET_FILE:velantra-remote>)
set_tests_properties(wayland_idle_inhibit PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120)
