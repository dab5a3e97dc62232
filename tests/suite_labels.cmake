# Run by CTest after the discovered tests are added: gives the suites named
# *Threads the label "threads" and those named *Long the label "long", each
# besides its folder label. The export tests encode video on every core, so
# each counts as two processors: nothing runs beside it under -j2, and the
# real-time tests keep their timing.

foreach(dir shell show raster math3d scenes render platform ssh tools export install fuzz)
  foreach(test IN LISTS test_${dir}_TESTS)
    if(test MATCHES "^[A-Za-z0-9_]*Threads\\.")
      set_tests_properties("${test}" PROPERTIES LABELS "${dir};threads")
    elseif(test MATCHES "^[A-Za-z0-9_]*Long\\.")
      set_tests_properties("${test}" PROPERTIES LABELS "${dir};long")
    endif()
    if(dir STREQUAL "export")
      set_tests_properties("${test}" PROPERTIES PROCESSORS 2)
    endif()
  endforeach()
endforeach()
