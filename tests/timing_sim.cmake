# The end-to-end test runs the timing-server simulator as a program of its own.
add_dependencies(tst_connection velantra-timing-sim)
target_compile_definitions(tst_connection PRIVATE VELANTRA_TIMING_SIM="$<TARGET_FILE:velantra-timing-sim>")
add_dependencies(tst_command_line velantra-timing-sim)
target_compile_definitions(tst_command_line PRIVATE VELANTRA_TIMING_SIM="$<TARGET_FILE:velantra-timing-sim>")
