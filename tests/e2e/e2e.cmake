# End-to-end tests: the real Brovink.exe (cross-built into BROVINK_WIN_DIR) driven under Wine by our
# automation client. One template Wine prefix per test run (fixture), which each test copies.
find_program(E2E_OBJDUMP x86_64-w64-mingw32-objdump)
find_program(E2E_BASH bash REQUIRED)

set(E2E_DIR ${CMAKE_SOURCE_DIR}/tests/e2e)
set(E2E_WORK ${CMAKE_BINARY_DIR}/e2e)
set(E2E_ENV "E2E_WIN=${BROVINK_WIN_DIR}" "E2E_TEMPLATE=${E2E_WORK}/template-prefix")

add_test(NAME e2e_prefix COMMAND ${E2E_BASH} ${E2E_DIR}/template.sh)
add_test(NAME e2e_prefix_removed COMMAND ${E2E_BASH} ${E2E_DIR}/template.sh --remove)
set_tests_properties(e2e_prefix PROPERTIES FIXTURES_SETUP wine_prefix TIMEOUT 300
                     ENVIRONMENT "${E2E_ENV}" LABELS e2e)
set_tests_properties(e2e_prefix_removed PROPERTIES FIXTURES_CLEANUP wine_prefix TIMEOUT 120
                     ENVIRONMENT "${E2E_ENV}" LABELS e2e)

# Each scenario's own limit (E2E_LIMIT in lib.sh) ends it first and cleans up; CTest's is a backstop.
foreach(scenario startup backup backup_user_hive backup_over_set restore restore_damaged
                 whole_window busy_window unspellable_folder unattended set_fingerprint package
                 restore_staging date_and_picker restart one_run_per_folder offline_restore)
  add_test(NAME e2e_${scenario} COMMAND ${E2E_BASH} ${E2E_DIR}/${scenario}.sh)
  set_tests_properties(e2e_${scenario} PROPERTIES FIXTURES_REQUIRED wine_prefix TIMEOUT 300
                       ENVIRONMENT "${E2E_ENV};E2E_OUT=${E2E_WORK}/${scenario}" LABELS e2e)
endforeach()
# Twenty rounds of two Wine processes take longer than one scenario's usual limit.
set_tests_properties(e2e_one_run_per_folder PROPERTIES TIMEOUT 660
                     ENVIRONMENT "${E2E_ENV};E2E_OUT=${E2E_WORK}/one_run_per_folder;E2E_LIMIT=600")

# The shipped form (built for size) must stay within 248 KiB (the set check, the fingerprint, the
# folder lock, the event messages and the offline restore took it to 238); other build types are
# not measured.
set(E2E_MAX_BYTES "")
if(BROVINK_WIN_BUILD_TYPE STREQUAL "MinSizeRel")
  set(E2E_MAX_BYTES 253952)
endif()
add_test(NAME e2e_imports COMMAND ${E2E_BASH} ${E2E_DIR}/imports.sh)
set_tests_properties(e2e_imports PROPERTIES LABELS e2e
                     ENVIRONMENT "E2E_WIN=${BROVINK_WIN_DIR};E2E_OBJDUMP=${E2E_OBJDUMP};E2E_MAX_BYTES=${E2E_MAX_BYTES}")
