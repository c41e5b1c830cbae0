# vorn-stream.exe against the Linux vorn-stream: the same bytes for every example.
add_test(NAME win_vorn_stream_matches_linux
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/vorn-stream-matches.sh ${CMAKE_CROSSCOMPILING_EMULATOR}
          $<TARGET_FILE:vorn-stream> ${VORN_HOST_TOOLS}/vorn-stream ${PROJECT_SOURCE_DIR}/examples)
set_tests_properties(win_vorn_stream_matches_linux PROPERTIES
  ENVIRONMENT "${VORN_WINE_ENV}" TIMEOUT 300 SKIP_RETURN_CODE 77)
