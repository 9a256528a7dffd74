# SPDX-License-Identifier: MIT
# velmora_appearance: transparency level, z-order and taskbar presence, window
# corners. The window-manager requests themselves are platform/WindowStyle.h
# (on X11 through xcb: Qt has no API for skip-taskbar/skip-pager or for the
# compositor selection).
add_library(velmora_appearance STATIC
  ${CMAKE_CURRENT_LIST_DIR}/Opacidad.h
  ${CMAKE_CURRENT_LIST_DIR}/Opacidad.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FormUtils.h
  ${CMAKE_CURRENT_LIST_DIR}/FormUtils.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rounded_corners.h
  ${CMAKE_CURRENT_LIST_DIR}/rounded_corners.cpp
)
target_include_directories(velmora_appearance PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(velmora_appearance PUBLIC Qt6::Widgets Qt6::Gui PRIVATE velmora_platform_window)
