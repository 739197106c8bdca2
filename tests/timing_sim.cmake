# The end-to-end test runs the timing-server simulator as a program of its own.
if(TARGET tst_simulator AND TARGET velantra-timing-sim)
  add_dependencies(tst_simulator velantra-timing-sim)
  target_compile_definitions(tst_simulator PRIVATE
    VELANTRA_TIMING_SIM="$<TARGET_FILE:velantra-timing-sim>")
endif()
