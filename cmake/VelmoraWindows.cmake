# SPDX-License-Identifier: MIT
# Windows-only pieces of the build: the version resource every program
# carries, and the folder users get (the programs beside the Qt, MinGW and
# zlib DLLs they load), zipped as a build product.

# Test programs built here run under Wine.
if(CMAKE_CROSSCOMPILING AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(VELMORA_WINE NAMES wine wine64)
  if(VELMORA_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${VELMORA_WINE})
  endif()
endif()

# velmora_add_version_resource(<target> <description>)
function(velmora_add_version_resource target description)
  if(NOT WIN32)
    return()
  endif()
  string(REPLACE "." "," VELMORA_RC_VERSION_COMMAS "${VELMORA_FILE_VERSION}")
  math(EXPR lang "${VELMORA_VERSION_LANGID}" OUTPUT_FORMAT HEXADECIMAL)
  math(EXPR cp "${VELMORA_VERSION_CODEPAGE}" OUTPUT_FORMAT HEXADECIMAL)
  string(SUBSTRING "${lang}" 2 -1 lang)
  string(SUBSTRING "${cp}" 2 -1 cp)
  # The block name is the language and code page as eight hex digits.
  string(LENGTH "${lang}" n)
  while(n LESS 4)
    string(PREPEND lang "0")
    string(LENGTH "${lang}" n)
  endwhile()
  string(LENGTH "${cp}" n)
  while(n LESS 4)
    string(PREPEND cp "0")
    string(LENGTH "${cp}" n)
  endwhile()
  string(TOUPPER "${lang}${cp}" VELMORA_RC_BLOCK)
  set(VELMORA_RC_NAME ${target})
  set(VELMORA_RC_DESCRIPTION "${description}")
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/resources/windows/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()

# velmora_windows_folder()
# Target velmora_windows_folder: ${CMAKE_BINARY_DIR}/Velmora laid out as users
# get it, the programs beside every DLL they load (no windeployqt in a
# cross-built Qt, so the list is written down here and checked by the test
# windows_folder_imports); target velmora_windows_zip: Velmora-<version>-win64.zip.
function(velmora_windows_folder)
  set(folder ${CMAKE_BINARY_DIR}/Velmora)
  set(qt ${QT6_INSTALL_PREFIX})
  # The Qt libraries the programs link and the plugins Qt loads at run time:
  # the Windows platform, the offscreen platform (velmora-lang builds the
  # windows without showing them), the native style, SVG pictures and icons.
  set(qt_dlls Qt6Core Qt6Gui Qt6Widgets Qt6Svg)
  set(qt_plugins
    platforms/qwindows
    platforms/qoffscreen
    styles/qwindowsvistastyle
    imageformats/qsvg
    imageformats/qico
    iconengines/qsvgicon)
  # The MinGW runtime (posix thread model) and zlib.
  set(runtime)
  foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
      OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
      find_file(path_${dll} ${dll} PATHS /usr/${CMAKE_CXX_LIBRARY_ARCHITECTURE}/lib
        /usr/x86_64-w64-mingw32/lib NO_DEFAULT_PATH REQUIRED)
      set(path ${path_${dll}})
    endif()
    list(APPEND runtime ${path})
  endforeach()
  get_filename_component(zlib_dir "${ZLIB_LIBRARY}" DIRECTORY)
  find_file(VELMORA_ZLIB_DLL zlib1.dll PATHS ${zlib_dir} ${zlib_dir}/../bin NO_DEFAULT_PATH REQUIRED)
  list(APPEND runtime ${VELMORA_ZLIB_DLL})

  set(programs velmora velmora-wql velmora-lang)
  set(commands COMMAND ${CMAKE_COMMAND} -E make_directory ${folder})
  foreach(p IN LISTS programs)
    list(APPEND commands COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${p}> ${folder}/)
  endforeach()
  foreach(d IN LISTS qt_dlls)
    list(APPEND commands COMMAND ${CMAKE_COMMAND} -E copy_if_different ${qt}/bin/${d}.dll ${folder}/)
  endforeach()
  foreach(p IN LISTS qt_plugins)
    get_filename_component(kind ${p} DIRECTORY)
    list(APPEND commands
      COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}/${kind}
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${qt}/plugins/${p}.dll ${folder}/${kind}/)
  endforeach()
  foreach(r IN LISTS runtime)
    list(APPEND commands COMMAND ${CMAKE_COMMAND} -E copy_if_different ${r} ${folder}/)
  endforeach()
  # Qt's own Spanish texts (the question box's Sí/No, the standard dialogs'
  # buttons): from the Qt the programs are built against when it has them,
  # else from the host's Qt catalogues of the same release. The programs
  # look for them in translations/ beside Qt6Core.dll.
  find_file(VELMORA_QT_SPANISH_CATALOGUE qtbase_es.qm
    PATHS ${qt}/translations /usr/share/qt6/translations NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(VELMORA_QT_SPANISH_CATALOGUE)
    list(APPEND commands
      COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}/translations
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${VELMORA_QT_SPANISH_CATALOGUE} ${folder}/translations/)
  else()
    message(WARNING "qtbase_es.qm not found (Debian: qt6-translations-l10n): the Windows folder's "
                    "question boxes will show Qt's English buttons")
  endif()
  add_custom_target(velmora_windows_folder ALL ${commands}
    DEPENDS ${programs} VERBATIM
    COMMENT "Laying out the Windows folder in ${folder}")

  set(zip ${CMAKE_BINARY_DIR}/Velmora-${VELMORA_FILE_VERSION}-win64.zip)
  add_custom_target(velmora_windows_zip
    COMMAND ${CMAKE_COMMAND} -E rm -f ${zip}
    COMMAND ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip Velmora
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    DEPENDS velmora_windows_folder VERBATIM
    COMMENT "Zipping ${folder} into ${zip}")

  if(VELMORA_TESTS)
    find_program(VELMORA_OBJDUMP NAMES ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-objdump x86_64-w64-mingw32-objdump objdump REQUIRED)
    add_test(NAME windows_folder_imports
      COMMAND ${CMAKE_COMMAND} -DFOLDER=${folder} -DOBJDUMP=${VELMORA_OBJDUMP}
              -P ${PROJECT_SOURCE_DIR}/cmake/CheckWindowsImports.cmake)
    # The check itself notices a missing DLL: the same folder without zlib1.dll
    # must fail it.
    add_test(NAME windows_folder_imports_missing_dll
      COMMAND ${CMAKE_COMMAND} -DFOLDER=${folder} -DOBJDUMP=${VELMORA_OBJDUMP} -DOMIT=zlib1.dll
              -P ${PROJECT_SOURCE_DIR}/cmake/CheckWindowsImports.cmake)
    set_tests_properties(windows_folder_imports windows_folder_imports_missing_dll
      PROPERTIES LABELS windows TIMEOUT 120)
    set_tests_properties(windows_folder_imports_missing_dll PROPERTIES
      PASS_REGULAR_EXPRESSION "zlib1.dll.*not in the folder")
    # Every program carries the version resource, read back by its bytes
    # (a Qt DLL, which carries Qt's own, must fail the same check).
    foreach(p IN LISTS programs)
      add_test(NAME windows_version_resource_${p}
        COMMAND ${CMAKE_COMMAND} -DFILE=${folder}/${p}.exe
                -P ${PROJECT_SOURCE_DIR}/cmake/CheckVersionResource.cmake)
      set_tests_properties(windows_version_resource_${p} PROPERTIES LABELS windows TIMEOUT 60)
    endforeach()
    add_test(NAME windows_version_resource_other_file
      COMMAND ${CMAKE_COMMAND} -DFILE=${folder}/Qt6Core.dll
              -P ${PROJECT_SOURCE_DIR}/cmake/CheckVersionResource.cmake)
    set_tests_properties(windows_version_resource_other_file PROPERTIES
      LABELS windows TIMEOUT 60 WILL_FAIL TRUE)
  endif()
endfunction()
