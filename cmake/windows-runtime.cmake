# Windows build with Qt (cmake/mingw-w64-x86_64-qt.cmake, Qt from scripts/qt-windows):
# what qnview.exe and the test programs need beside them in the bin folder, copied
# there by the target qnview_runtime. scripts/package-windows puts the same files
# into the MSI.
#   Qt's DLLs, the windows and offscreen platform plugins, the style plugin;
#   the MinGW runtime of the posix flavour (libstdc++, libgcc, winpthread);
#   Qt's Japanese catalogue (qt_ja.qm names the catalogues it is made of).
# The program's English catalogue is built into qnview.exe.
set(QN_QT_DLLS Qt6::Core Qt6::Gui Qt6::Widgets Qt6::Network Qt6::Test)
set(QN_QT_PLUGINS platforms:Qt6::QWindowsIntegrationPlugin platforms:Qt6::QOffscreenIntegrationPlugin
    styles:Qt6::QWindowsVistaStylePlugin)

set(QN_RUNTIME_FILES)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll} OUTPUT_VARIABLE path
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
    message(FATAL_ERROR "The MinGW runtime ${dll} was not found by ${CMAKE_CXX_COMPILER}")
  endif()
  get_filename_component(path "${path}" REALPATH)
  list(APPEND QN_RUNTIME_FILES "${path}")
endforeach()

set(QN_QT_TRANSLATIONS_DIR "${QT_HOST_PATH}/share/qt6/translations" CACHE PATH "Qt's catalogues (qt6-translations-l10n)")
set(QN_QT_JA_FILES)
foreach(qm qt_ja.qm qtbase_ja.qm qtmultimedia_ja.qm)
  if(NOT EXISTS ${QN_QT_TRANSLATIONS_DIR}/${qm})
    message(FATAL_ERROR "${QN_QT_TRANSLATIONS_DIR}/${qm} not found (Debian's qt6-translations-l10n)")
  endif()
  list(APPEND QN_QT_JA_FILES ${QN_QT_TRANSLATIONS_DIR}/${qm})
endforeach()

set(copies)
set(depends ${QN_RUNTIME_FILES} ${QN_QT_JA_FILES})
foreach(target ${QN_QT_DLLS})
  list(APPEND copies COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${target}> ${QN_BIN_DIR})
  list(APPEND depends $<TARGET_FILE:${target}>)
endforeach()
foreach(plugin ${QN_QT_PLUGINS})
  string(REPLACE ":" ";" plugin "${plugin}")
  list(GET plugin 0 folder)
  list(GET plugin 1 target)
  list(APPEND copies COMMAND ${CMAKE_COMMAND} -E make_directory ${QN_BIN_DIR}/${folder}
                     COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${target}> ${QN_BIN_DIR}/${folder})
  list(APPEND depends $<TARGET_FILE:${target}>)
endforeach()
set(stamp ${CMAKE_BINARY_DIR}/qnview_runtime.stamp)
add_custom_command(OUTPUT ${stamp}
  ${copies}
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${QN_RUNTIME_FILES} ${QN_BIN_DIR}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QN_BIN_DIR}/translations
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${QN_QT_JA_FILES} ${QN_BIN_DIR}/translations
  COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
  DEPENDS ${depends}
  COMMENT "Copying the Qt and MinGW runtime beside the programs"
  VERBATIM)
add_custom_target(qnview_runtime DEPENDS ${stamp})
