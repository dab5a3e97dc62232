# Run by CTest after the discovered tests are added: gives the suites named
# *Threads the label "threads" and those named *Long the label "long", each
# besides its folder label.
foreach(dir shell show raster math3d scenes render platform tools install)
  foreach(test IN LISTS test_${dir}_TESTS)
    if(test MATCHES "^[A-Za-z0-9_]*Threads\\.")
      set_tests_properties("${test}" PROPERTIES LABELS "${dir};threads")
    elseif(test MATCHES "^[A-Za-z0-9_]*Long\\.")
      set_tests_properties("${test}" PROPERTIES LABELS "${dir};long")
    endif()
  endforeach()
endforeach()
