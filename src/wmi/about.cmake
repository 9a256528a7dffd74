# SPDX-License-Identifier: MIT
# The About dialog of the query components needs Qt Widgets, which
# velmora_wmi must not (it is built for the sanitizer run without GUI).
add_library(velmora_wmi_about STATIC
  ${CMAKE_CURRENT_LIST_DIR}/FormAbout.h
  ${CMAKE_CURRENT_LIST_DIR}/FormAbout.cpp
  ${PROJECT_SOURCE_DIR}/resources/about/about.qrc
)
target_include_directories(velmora_wmi_about PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(velmora_wmi_about PUBLIC Qt6::Widgets Qt6::Gui Qt6::Svg)
