# SPDX-License-Identifier: MIT
# Debian's default hardening for the programs it ships (dpkg-buildflags):
# fortified libc calls, a stack protector, format-string checks, and a
# read-only relocation table. Optimised builds only (fortification needs the
# optimiser), never beside the sanitizers, which bring their own checks.
option(VELMORA_HARDENING "Build with Debian's default hardening flags" ON)
if(VELMORA_HARDENING AND NOT VELMORA_SANITIZE AND NOT VELMORA_FUZZ AND NOT WIN32
   AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  add_compile_options($<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE>
                      $<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>
                      -fstack-protector-strong -Wformat -Werror=format-security)
  add_link_options(LINKER:-z,relro)
endif()
