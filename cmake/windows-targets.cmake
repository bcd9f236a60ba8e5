# The Windows build: the core libraries that are standard C++ today on the Win32 platform layer, and
# their tests, run under wine.
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX UNICODE _UNICODE)
find_package(Threads REQUIRED)
enable_language(RC)
include(cmake/delay-loaded-dlls.cmake)

# CLI11 is header only: the cross compiler sees a folder of its headers alone, not the whole of the
# machine's /usr/include.
set(LUMEVANTA_CLI11_HEADERS /usr/include/CLI CACHE PATH "CLI11's headers (Debian's libcli11-dev)")
if(NOT EXISTS "${LUMEVANTA_CLI11_HEADERS}/CLI.hpp")
  message(FATAL_ERROR "LUMEVANTA_CLI11_HEADERS (${LUMEVANTA_CLI11_HEADERS}) holds no CLI.hpp; install libcli11-dev")
endif()
set(cli11_include ${CMAKE_BINARY_DIR}/include/cli11)
file(MAKE_DIRECTORY ${cli11_include})
file(CREATE_LINK ${LUMEVANTA_CLI11_HEADERS} ${cli11_include}/CLI SYMBOLIC)
add_library(CLI11::CLI11 INTERFACE IMPORTED)
target_include_directories(CLI11::CLI11 INTERFACE ${cli11_include})

# Both programs carry the project's version and the program icon, which the host build paints.
set(LUMEVANTA_PROGRAM_ICON "" CACHE FILEPATH "The program icon as a Windows icon file (the host build's windows_icon_file)")
if(NOT EXISTS "${LUMEVANTA_PROGRAM_ICON}")
  message(FATAL_ERROR "LUMEVANTA_PROGRAM_ICON (${LUMEVANTA_PROGRAM_ICON}) is no icon file; "
                      "tools/build-windows.sh paints it with the host build's windows-icon")
endif()
# The version as Windows writes it, four numbers (0.1 is 0.1.0.0).
string(REGEX MATCHALL "[0-9]+" version_numbers "${PROJECT_VERSION}.0.0.0")
list(SUBLIST version_numbers 0 4 version_numbers)
list(JOIN version_numbers "." LUMEVANTA_FILE_VERSION)
list(JOIN version_numbers "," LUMEVANTA_FILE_VERSION_COMMAS)
function(lumevanta_version_resource target description)
  set(program ${target})
  set(resource ${CMAKE_CURRENT_BINARY_DIR}/${target}-version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/ui/win32/version.rc.in ${resource} @ONLY)
  set_source_files_properties(${resource} PROPERTIES OBJECT_DEPENDS ${LUMEVANTA_PROGRAM_ICON})
  target_sources(${target} PRIVATE ${resource})
endfunction()

add_subdirectory(core)
add_subdirectory(platform/win32)
add_subdirectory(ui/win32)
add_subdirectory(ui/cli)
add_subdirectory(dist/windows ${CMAKE_BINARY_DIR}/packaging)

# The start-up benchmark's baseline under wine (bench/win32-startup-bench.sh).
add_executable(win32_bare_window WIN32 bench/win32_bare_window.cpp)
target_link_options(win32_bare_window PRIVATE -municode)

if(NOT LUMEVANTA_TESTS)
  return()
endif()
enable_testing()

# GoogleTest from Debian's sources, built with the cross compiler; its own warnings are not ours.
set(LUMEVANTA_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's sources")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${LUMEVANTA_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
target_compile_options(gtest PRIVATE -w)
target_compile_options(gtest_main PRIVATE -w)

# One wine prefix per test run, inside the build folder, without a display or the Mono and Gecko
# installers' dialogs.
set(lumevanta_wine_environment WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix WINEDEBUG=-all "WINEDLLOVERRIDES=mscoree,mshtml=")
set(CMAKE_CROSSCOMPILING_EMULATOR env -u DISPLAY ${lumevanta_wine_environment} wine)

add_test(NAME wine_prefix COMMAND bash ${PROJECT_SOURCE_DIR}/tests/support/wine-prefix.sh create)
add_test(NAME wine_prefix_stop COMMAND bash ${PROJECT_SOURCE_DIR}/tests/support/wine-prefix.sh stop)
set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine ENVIRONMENT "${lumevanta_wine_environment}" TIMEOUT 120)
set_tests_properties(wine_prefix_stop PROPERTIES FIXTURES_CLEANUP wine ENVIRONMENT "${lumevanta_wine_environment}")

# The tests of the standard C++ libraries that need nothing else.
add_executable(main_loop_tests tests/base/MainLoopTest.cpp)
target_link_libraries(main_loop_tests PRIVATE lumevanta_main_loop gtest_main)
# Windows need a display under wine, even one that only carries messages.
add_test(NAME main_loop_tests COMMAND xvfb-run -a env ${lumevanta_wine_environment} wine $<TARGET_FILE:main_loop_tests>)
set_tests_properties(main_loop_tests PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 60)

# The exchange over the fake device, as on Linux.
add_executable(exchange_fake_tests tests/exchange/KeyExchangeFakeTest.cpp tests/link/FakeSerialDevice.cpp)
target_include_directories(exchange_fake_tests PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(exchange_fake_tests PRIVATE lumevanta_exchange gtest_main)
add_test(NAME exchange_fake_tests
  COMMAND xvfb-run -a env ${lumevanta_wine_environment} wine $<TARGET_FILE:exchange_fake_tests>)
set_tests_properties(exchange_fake_tests PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 120)

# The core's own tests that need nothing but the core, as on Linux.
add_executable(core_tests tests/link/SerialLinkFakeTest.cpp tests/link/FakeSerialDevice.cpp
  tests/link/TelnetCodecTest.cpp tests/sender/KeyNamesTest.cpp tests/settings/DesktopLanguageTest.cpp
  tests/settings/LinkTextsTest.cpp tests/panels/PanelPartsTest.cpp)
target_include_directories(core_tests PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(core_tests PRIVATE lumevanta_sender lumevanta_panel_parts gtest_main)
add_test(NAME core_tests COMMAND xvfb-run -a env ${lumevanta_wine_environment} wine $<TARGET_FILE:core_tests>)
set_tests_properties(core_tests PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 120)

add_executable(model_tests tests/model/DeviceTypesTest.cpp)
target_link_libraries(model_tests PRIVATE lumevanta_model gtest_main)
add_test(NAME model_tests COMMAND model_tests)
set_tests_properties(model_tests PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 60)

add_executable(win32_file_tests tests/settings/Win32RegularFileTest.cpp)
target_link_libraries(win32_file_tests PRIVATE lumevanta_options gtest_main)
add_test(NAME win32_files
  COMMAND bash ${PROJECT_SOURCE_DIR}/tests/settings/win32-regular-file-test.sh
    ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:win32_file_tests>)
set_tests_properties(win32_files PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 60)

add_executable(win32_link_tests tests/link/Win32SerialDeviceTest.cpp)
target_include_directories(win32_link_tests PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(win32_link_tests PRIVATE lumevanta_serial_device gtest_main)
add_test(NAME win32_port_names COMMAND win32_link_tests --gtest_filter=-Win32PtyPort.*)
set_tests_properties(win32_port_names PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 60)
# Restarts the prefix's wine server to map its pseudo-terminal, so nothing else may run meanwhile.
add_test(NAME win32_serial_device
  COMMAND bash ${PROJECT_SOURCE_DIR}/tests/link/win32-serial-device-test.sh
    ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:win32_link_tests> --gtest_filter=Win32PtyPort.*)
set_tests_properties(win32_serial_device PROPERTIES FIXTURES_REQUIRED wine RUN_SERIAL ON TIMEOUT 120
  ENVIRONMENT "${lumevanta_wine_environment}")
# A press from the exchange through the link's worker to the same pseudo-terminal and its answer back.
add_executable(win32_exchange_tests tests/exchange/Win32KeyExchangeTest.cpp)
target_include_directories(win32_exchange_tests PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(win32_exchange_tests PRIVATE lumevanta_exchange gtest_main)
add_test(NAME win32_key_exchange
  COMMAND bash ${PROJECT_SOURCE_DIR}/tests/link/win32-serial-device-test.sh
    xvfb-run -a env ${lumevanta_wine_environment} wine $<TARGET_FILE:win32_exchange_tests>)
set_tests_properties(win32_key_exchange PROPERTIES FIXTURES_REQUIRED wine RUN_SERIAL ON TIMEOUT 120
  ENVIRONMENT "${lumevanta_wine_environment}")

# The program itself on a virtual display with a window manager, its line the same pseudo-terminal:
#   lumevanta_wine_desktop_test(NAME SCRIPT TIMEOUT SCRIPT_ARGUMENTS...)
function(lumevanta_wine_desktop_test name script timeout)
  add_test(NAME ${name}
    COMMAND bash ${PROJECT_SOURCE_DIR}/tests/link/win32-serial-device-test.sh
      xvfb-run -a -s "-screen 0 1024x768x24" bash ${PROJECT_SOURCE_DIR}/${script} ${ARGN})
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine RUN_SERIAL ON TIMEOUT ${timeout}
    ENVIRONMENT "${lumevanta_wine_environment}")
endfunction()
add_executable(win32_panel_place tests/e2e/win32_panel_place.cpp)
target_link_libraries(win32_panel_place PRIVATE lumevanta_panel_tables)
lumevanta_wine_desktop_test(win32_program tests/e2e/win32_program_test.sh 120
  wine $<TARGET_FILE:lumevanta> $<TARGET_FILE:win32_panel_place> ${LUMEVANTA_PANEL_ARTWORK})

# ---- Preferences dialog ----
# The port list both programs' dialogs offer, and the Windows program's first start: the dialog, its
# options file as the Linux program writes it, and the panel it leads to, on the same pseudo-terminal.
add_executable(program_tests tests/program/PortChoicesTest.cpp)
target_link_libraries(program_tests PRIVATE lumevanta_program gtest_main)
add_test(NAME program_tests COMMAND program_tests)
set_tests_properties(program_tests PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 60)
lumevanta_wine_desktop_test(win32_first_start tests/e2e/win32_first_start_test.sh 120
  wine $<TARGET_FILE:lumevanta> $<TARGET_FILE:win32_panel_place>)

# ---- The shell of the Windows program: tray icon and menu, a second copy, the placement file ----
# Under openbox with trayer as the notification area, the line the same pseudo-terminal: hidden to
# the tray and back, a second copy refused and bringing the panel forward, the place kept over a
# restart in the same bytes as on Linux.
lumevanta_wine_desktop_test(win32_shell tests/e2e/win32_shell_test.sh 120
  wine $<TARGET_FILE:lumevanta>)

# ---- lumevanta-send.exe and the packages under wine ----
# lumevanta-send.exe's exit statuses and messages against virtual recorders (this machine's, from the
# host build) on pseudo-terminals mapped as COM ports, and through ser2net for the network lines.
set(LUMEVANTA_VIRTUAL_RECORDER "" CACHE FILEPATH "The host build's virtual-recorder, which the tests under wine answer with")
if(NOT EXISTS "${LUMEVANTA_VIRTUAL_RECORDER}")
  message(FATAL_ERROR "LUMEVANTA_VIRTUAL_RECORDER (${LUMEVANTA_VIRTUAL_RECORDER}) is no program; "
                      "tools/build-windows.sh builds it in the host build")
endif()
add_test(NAME win32_send
  COMMAND bash ${PROJECT_SOURCE_DIR}/tests/sender/win32-send-test.sh $<TARGET_FILE:lumevanta-send> ${LUMEVANTA_VIRTUAL_RECORDER})
set_tests_properties(win32_send PROPERTIES FIXTURES_REQUIRED wine RUN_SERIAL ON TIMEOUT 60
  ENVIRONMENT "${lumevanta_wine_environment}")
# The installer into the test's prefix, the installed program started, the uninstaller; the user's
# settings stay.
add_test(NAME win32_installer
  COMMAND bash ${PROJECT_SOURCE_DIR}/tests/link/win32-serial-device-test.sh
    xvfb-run -a bash ${PROJECT_SOURCE_DIR}/tests/dist/win32-installer-test.sh
    ${LUMEVANTA_WINDOWS_INSTALLER} ${LUMEVANTA_WINDOWS_ZIP} ${CMAKE_OBJDUMP})
set_tests_properties(win32_installer PROPERTIES FIXTURES_REQUIRED wine RUN_SERIAL ON TIMEOUT 90
  ENVIRONMENT "${lumevanta_wine_environment}")

# ---- The panels' keyboard and hints, and every layout's panel in the program ----
target_sources(core_tests PRIVATE tests/panels/HeldKeysTest.cpp)
# The tables' PC keys as Windows' virtual keys, and the notice box that does not hold the program up.
add_executable(win32_ui_tests tests/win32/VirtualKeysTest.cpp ${PROJECT_SOURCE_DIR}/ui/win32/VirtualKeys.cpp
  tests/win32/NoticeBoxTest.cpp ${PROJECT_SOURCE_DIR}/ui/win32/NoticeBox.cpp)
target_include_directories(win32_ui_tests PRIVATE ${PROJECT_SOURCE_DIR}/ui/win32)
target_link_libraries(win32_ui_tests PRIVATE lumevanta_panel_tables lumevanta_win32 user32 gtest_main)
add_test(NAME win32_ui COMMAND xvfb-run -a env ${lumevanta_wine_environment} wine $<TARGET_FILE:win32_ui_tests>)
set_tests_properties(win32_ui PROPERTIES FIXTURES_REQUIRED wine RUN_SERIAL ON TIMEOUT 60)
# One run of the program per layout: its size, every key's frame by the mouse, the lamps of each
# answer, a PC key held; the far end's answers are switched between the presses.
lumevanta_wine_desktop_test(win32_panels tests/e2e/win32_panels_test.sh 150
  wine $<TARGET_FILE:lumevanta> $<TARGET_FILE:win32_panel_place> ${LUMEVANTA_PANEL_ARTWORK})
