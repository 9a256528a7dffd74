# SPDX-License-Identifier: MIT
# Checks the version resource of a Windows program file by its bytes:
# VS_FIXEDFILEINFO with file version 1.2.0.0 and the one translation entry
# 0x0C0A (Spanish, modern sort) with code page 1252.
#   cmake -DFILE=<program.exe> -P CheckVersionResource.cmake
cmake_minimum_required(VERSION 3.25)
if(NOT EXISTS "${FILE}")
  message(FATAL_ERROR "${FILE} does not exist")
endif()
file(READ "${FILE}" hex HEX)
# "VS_VERSION_INFO" in UTF-16LE.
set(key "")
foreach(c 56 53 5f 56 45 52 53 49 4f 4e 5f 49 4e 46 4f)
  string(APPEND key "${c}00")
endforeach()
string(FIND "${hex}" "${key}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "${FILE}: no VS_VERSION_INFO")
endif()
# Signature 0xFEEF04BD, structure version 1.0, dwFileVersionMS 0x00010002
# (1.2), dwFileVersionLS 0x00000000 (0.0), little-endian.
string(FIND "${hex}" "bd04effe000001000200010000000000" fixed)
if(fixed LESS at)
  message(FATAL_ERROR "${FILE}: the fixed file information does not say file version 1.2.0.0")
endif()
# "Translation" in UTF-16LE, its padding, then 0x0C0A and 1252 (0x04E4).
string(REGEX MATCH "5400720061006e0073006c006100740069006f006e000000(0000)?0a0ce404" translation "${hex}")
if(NOT translation)
  message(FATAL_ERROR "${FILE}: no translation entry 0x0C0A / 1252")
endif()
# The string block named after the same language and code page.
set(block "")
foreach(c 30 43 30 41 30 34 45 34)
  string(APPEND block "${c}00")
endforeach()
string(FIND "${hex}" "${block}" named)
if(named EQUAL -1)
  message(FATAL_ERROR "${FILE}: no string block 0C0A04E4")
endif()
message(STATUS "${FILE}: version 1.2.0.0, translation 0x0C0A / 1252")
