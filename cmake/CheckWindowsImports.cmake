# SPDX-License-Identifier: MIT
# Checks a Windows program folder: every DLL that a program or DLL in it
# imports is either in the folder (beside the programs) or part of Windows.
#   cmake -DFOLDER=<dir> -DOBJDUMP=<mingw objdump> [-DOMIT=<dll>] -P CheckWindowsImports.cmake
# OMIT treats one file of the folder as absent (to show that the check fails).
cmake_minimum_required(VERSION 3.25)
if(NOT IS_DIRECTORY "${FOLDER}")
  message(FATAL_ERROR "${FOLDER} is not a folder")
endif()

# What every Windows installation has in System32 (the loader resolves the
# api-ms-win-* names itself).
set(system_dlls
  advapi32 authz bcrypt comdlg32 crypt32 d3d9 d3d11 dnsapi dwmapi dwrite dxgi gdi32 imm32
  iphlpapi kernel32 mpr msvcrt netapi32 ole32 oleaut32 secur32 shcore shell32 shlwapi user32
  userenv uxtheme version winhttp winmm ws2_32 wtsapi32)

# The files users run, and the plugins Qt loads by name (not imported).
set(required velmora.exe velmora-wql.exe velmora-lang.exe platforms/qwindows.dll
  styles/qwindowsvistastyle.dll imageformats/qsvg.dll iconengines/qsvgicon.dll)
foreach(f IN LISTS required)
  if(NOT EXISTS "${FOLDER}/${f}")
    message(SEND_ERROR "${f} is missing from ${FOLDER}")
  endif()
endforeach()

file(GLOB present RELATIVE "${FOLDER}" "${FOLDER}/*.dll")
string(TOLOWER "${present}" present)
if(OMIT)
  string(TOLOWER "${OMIT}" omit)
  list(REMOVE_ITEM present ${omit})
endif()

file(GLOB_RECURSE binaries "${FOLDER}/*.exe" "${FOLDER}/*.dll")
set(checked 0)
set(missing 0)
foreach(bin IN LISTS binaries)
  execute_process(COMMAND ${OBJDUMP} -p "${bin}" OUTPUT_VARIABLE dump RESULT_VARIABLE rc ERROR_QUIET)
  if(NOT rc EQUAL 0)
    message(SEND_ERROR "${OBJDUMP} cannot read ${bin}")
    continue()
  endif()
  file(RELATIVE_PATH name "${FOLDER}" "${bin}")
  string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${dump}")
  foreach(line IN LISTS imports)
    string(REGEX REPLACE "^DLL Name: *" "" dll "${line}")
    string(STRIP "${dll}" dll)
    string(TOLOWER "${dll}" lower)
    string(REGEX REPLACE "\\.dll$" "" base "${lower}")
    if(lower IN_LIST present OR base IN_LIST system_dlls OR lower MATCHES "^api-ms-win-")
      continue()
    endif()
    message(SEND_ERROR "${name} imports ${dll}, which is not in the folder nor part of Windows")
    math(EXPR missing "${missing} + 1")
  endforeach()
  math(EXPR checked "${checked} + 1")
endforeach()
if(checked EQUAL 0)
  message(SEND_ERROR "no programs or DLLs in ${FOLDER}")
endif()
message(STATUS "${checked} files checked, ${missing} imports missing")
