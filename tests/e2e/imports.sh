#!/usr/bin/env bash
# Brovink.exe is a 64-bit GUI program and Brovink.com the same program for the console subsystem;
# both run from their file alone: they import only DLLs that are part of Windows, none of the
# compiler's run-time DLLs (libstdc++-6.dll, libgcc_s_seh-1.dll, libwinpthread-1.dll), which a
# user's machine does not have, and only DLLs that the recovery environment holds as well; built
# for size, they stay small.
set -euo pipefail
: "${E2E_WIN:?}"
objdump=${E2E_OBJDUMP:-x86_64-w64-mingw32-objdump}
failed=0
for program in Brovink.exe Brovink.com; do
  exe="$E2E_WIN/$program"
  [ -f "$exe" ] || { echo "FAILED: missing $exe" >&2; exit 1; }

  headers=$("$objdump" -p "$exe")
  check() {
    local what=$1 pattern=$2
    if ! grep -Eq "$pattern" <<<"$headers"; then
      echo "FAILED: $exe is not $what" >&2
      failed=1
    fi
  }
  check "a PE file for x86-64" 'file format pei-x86-64'
  check "PE32+" '^Magic[[:space:]]+020b'
  if [ "$program" = Brovink.exe ]; then
    check "a GUI program" '^Subsystem[[:space:]]+00000002'
  else
    check "a console program" '^Subsystem[[:space:]]+00000003'
  fi

  # DLLs that every supported Windows has; anything else fails the test.
  windows_dlls=" kernel32.dll user32.dll gdi32.dll advapi32.dll comctl32.dll shell32.dll ole32.dll"
  windows_dlls+=" oleaut32.dll comdlg32.dll shlwapi.dll msvcrt.dll ntdll.dll version.dll bcrypt.dll "
  imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
  [ -n "$imports" ] || { echo "FAILED: no imports found in $exe" >&2; failed=1; }
  for dll in $imports; do
    lower=${dll,,}
    case "$lower" in
      api-ms-win-crt-*.dll) echo "imports $dll (Windows' universal C run-time)" ;;
      *)
        if [[ "$windows_dlls" == *" $lower "* ]]; then
          echo "imports $dll"
        else
          echo "FAILED: $exe imports $dll, which is not part of Windows" >&2
          failed=1
        fi
        ;;
    esac
  done

  # The offline restore runs from the command prompt of the Windows recovery environment (WinRE, a
  # Windows PE): its System32 holds the core DLLs below (CNG's bcrypt.dll among them), but no
  # Explorer and not every DLL of a full installation. Every DLL the program imports must be one.
  recovery_dlls=" kernel32.dll ntdll.dll user32.dll gdi32.dll advapi32.dll comctl32.dll shell32.dll ole32.dll"
  recovery_dlls+=" oleaut32.dll shlwapi.dll msvcrt.dll bcrypt.dll "
  for dll in $imports; do
    lower=${dll,,}
    if [[ "$recovery_dlls" != *" $lower "* ]]; then
      echo "FAILED: $exe imports $dll, which the recovery environment may lack" >&2
      failed=1
    fi
  done

  # The shipped program's size, when the build says what it may be.
  if [ -n "${E2E_MAX_BYTES:-}" ]; then
    bytes=$(stat -c %s "$exe")
    if [ "$bytes" -gt "$E2E_MAX_BYTES" ]; then
      echo "FAILED: $exe has $bytes bytes, more than $E2E_MAX_BYTES" >&2
      failed=1
    else
      echo "$program: size $bytes bytes (at most $E2E_MAX_BYTES)"
    fi
  fi
done
exit $failed
