# Windows build with Qt (cmake/mingw-w64-x86_64-qt.cmake, Qt from scripts/qt-windows):
# what qnview.exe and the test programs need beside them in the bin folder, copied
# there by the target qnview_runtime. scripts/package-windows puts the same files
# into the MSI.
#   Qt's DLLs, the windows and offscreen platform plugins, the style plugin;
#   with MinGW, its runtime of the posix flavour (libstdc++, libgcc, winpthread);
#   Qt's Japanese catalogue (qt_ja.qm names the catalogues it is made of).
# The program's English catalogue is built into qnview.exe.
set(QN_QT_DLLS Qt6::Core Qt6::Gui Qt6::Widgets Qt6::Network Qt6::Test)
# Each plugin as FOLDER=TARGET.
set(QN_QT_PLUGINS platforms=Qt6::QWindowsIntegrationPlugin platforms=Qt6::QOffscreenIntegrationPlugin
    styles=Qt6::QWindowsVistaStylePlugin)

set(QN_RUNTIME_FILES)
set(QN_MINGW_RUNTIME)
if(MINGW)
  set(QN_MINGW_RUNTIME libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
endif()
foreach(dll ${QN_MINGW_RUNTIME})
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll} OUTPUT_VARIABLE path
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
    message(FATAL_ERROR "The MinGW runtime ${dll} was not found by ${CMAKE_CXX_COMPILER}")
  endif()
  get_filename_component(path "${path}" REALPATH)
  list(APPEND QN_RUNTIME_FILES "${path}")
endforeach()

# A cross build takes them from the host's Qt (Debian's qt6-translations-l10n), a build on
# Windows from its Qt.
if(QT_HOST_PATH)
  set(translations "${QT_HOST_PATH}/share/qt6/translations")
else()
  set(translations "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_TRANSLATIONS}")
endif()
set(QN_QT_TRANSLATIONS_DIR "${translations}" CACHE PATH "Qt's catalogues")
set(QN_QT_JA_FILES)
foreach(qm qt_ja.qm qtbase_ja.qm qtmultimedia_ja.qm)
  if(EXISTS ${QN_QT_TRANSLATIONS_DIR}/${qm})
    list(APPEND QN_QT_JA_FILES ${QN_QT_TRANSLATIONS_DIR}/${qm})
  elseif(CMAKE_CROSSCOMPILING)
    message(FATAL_ERROR "${QN_QT_TRANSLATIONS_DIR}/${qm} not found (Debian's qt6-translations-l10n)")
  else()
    message(WARNING "${QN_QT_TRANSLATIONS_DIR}/${qm} not found: Qt's own texts stay English")
  endif()
endforeach()

set(copies COMMAND ${CMAKE_COMMAND} -E make_directory ${QN_BIN_DIR})
set(depends ${QN_RUNTIME_FILES} ${QN_QT_JA_FILES})
foreach(target ${QN_QT_DLLS})
  list(APPEND copies COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${target}> ${QN_BIN_DIR})
  list(APPEND depends $<TARGET_FILE:${target}>)
endforeach()
foreach(plugin ${QN_QT_PLUGINS})
  string(REGEX REPLACE "=.*" "" folder "${plugin}")
  string(REGEX REPLACE "^[^=]*=" "" target "${plugin}")
  list(APPEND copies COMMAND ${CMAKE_COMMAND} -E make_directory ${QN_BIN_DIR}/${folder}
                     COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${target}> ${QN_BIN_DIR}/${folder})
  list(APPEND depends $<TARGET_FILE:${target}>)
endforeach()
if(QN_RUNTIME_FILES)
  list(APPEND copies COMMAND ${CMAKE_COMMAND} -E copy_if_different ${QN_RUNTIME_FILES} ${QN_BIN_DIR})
endif()
if(QN_QT_JA_FILES)
  list(APPEND copies COMMAND ${CMAKE_COMMAND} -E make_directory ${QN_BIN_DIR}/translations
                     COMMAND ${CMAKE_COMMAND} -E copy_if_different ${QN_QT_JA_FILES} ${QN_BIN_DIR}/translations)
endif()
set(stamp ${CMAKE_BINARY_DIR}/qnview_runtime.stamp)
add_custom_command(OUTPUT ${stamp}
  ${copies}
  COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
  DEPENDS ${depends}
  COMMENT "Copying the Qt and MinGW runtime beside the programs"
  VERBATIM)
add_custom_target(qnview_runtime DEPENDS ${stamp})
