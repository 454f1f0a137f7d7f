# The tests of the Windows build: every unit test that needs no Linux peer
# or call, run under Wine. The end-to-end runs against ngircd and qstat stay
# on the Linux side; scripts/test-windows runs fragrelayd.exe against them.
function(fr_add_windows_tests)
  set(t ${CMAKE_CURRENT_SOURCE_DIR})
  set(s ${FR_TEST_SUPPORT_DIR}/support)
  fr_add_test(test_platform SOURCES ${t}/platform/PlatformTest.cpp ${t}/platform/BackoffTest.cpp
    ${t}/platform/PlatformWin32Test.cpp LABELS unit)
  fr_add_test(test_query_text SOURCES ${t}/query/TokenizerTest.cpp ${t}/query/ReplyReaderTest.cpp
    LABELS unit)
  fr_add_test(test_query_exchange SOURCES ${t}/query/ServerQueryTest.cpp LABELS unit threads)
  fr_add_test(test_query_info SOURCES ${t}/query/InfoReplyTest.cpp LABELS unit)
  target_compile_definitions(test_query_info PRIVATE FR_CAPTURED_DATA="${t}/monitor/data")
  fr_add_test(test_query_quickinfo SOURCES ${t}/query/QuickInfoThreadTest.cpp LIBS bf42sim_lib
    LABELS unit threads)
  fr_add_test(test_monitor_status SOURCES ${t}/monitor/PlayerRecordTest.cpp
    ${t}/monitor/StatusReplyTest.cpp LABELS unit)
  target_compile_definitions(test_monitor_status PRIVATE FR_MONITOR_TEST_DATA="${t}/monitor/data")
  fr_add_test(test_monitor_events SOURCES ${t}/monitor/EventInferenceTest.cpp
    ${t}/monitor/AnnouncementsTest.cpp LABELS unit)
  fr_add_test(test_monitor_v161 SOURCES ${t}/monitor/StatusReplyV161Test.cpp LABELS unit)
  target_compile_definitions(test_monitor_v161 PRIVATE FR_MONITOR_TEST_DATA="${t}/monitor/data")
  fr_add_test(test_monitor_loop SOURCES ${t}/monitor/PhaseCheckTest.cpp
    ${t}/monitor/TicketReporterTest.cpp ${t}/monitor/MonitorRunTest.cpp LIBS bf42sim_lib
    LABELS unit threads)
  fr_add_test(test_monitor_v161_match SOURCES ${t}/monitor/MonitorV161Test.cpp LIBS bf42sim_lib
    LABELS unit threads)
  fr_add_test(test_framework SOURCES ${t}/framework/DataExchangeTest.cpp ${t}/framework/PageTest.cpp
    ${t}/framework/LogTest.cpp LABELS unit)
  fr_add_test(test_framework_threads SOURCES ${t}/framework/ConcurrencyTest.cpp
    ${t}/framework/DispatcherTest.cpp LABELS unit threads)
  fr_add_test(test_res SOURCES ${t}/res/StringTableTest.cpp ${t}/res/DialogTemplateTest.cpp
    ${t}/res/IconTest.cpp LABELS unit)
  fr_add_test(test_config SOURCES ${t}/config/PhraseTableTest.cpp ${t}/config/ColorRuleTest.cpp
    ${t}/config/ColorDlgTest.cpp ${t}/config/AboutDlgTest.cpp LABELS unit)
  # The settings file itself has tests of its own for Windows' file system.
  fr_add_test(test_settings SOURCES ${t}/config/SettingsFormatTest.cpp
    ${t}/config/SettingsPagesTest.cpp ${t}/config/SettingsFileWin32Test.cpp LABELS unit)
  fr_add_test(test_traffic_update SOURCES ${t}/config/TrafficMeterTest.cpp
    ${t}/config/UpdateCheckTest.cpp LABELS unit threads)
  fr_add_test(test_irc_dispatch SOURCES ${t}/irc/IrcDispatchTest.cpp ${t}/irc/IrcTextTest.cpp
    ${t}/irc/IrcLineSplitterTest.cpp LABELS unit)
  fr_add_test(test_irc_session SOURCES ${t}/irc/IrcSessionTest.cpp ${t}/irc/IrcSupervisorTest.cpp
    ${s}/ScriptedTcpServer.cpp LABELS unit threads)
  fr_add_test(test_ui_game SOURCES ${t}/ui/GameDlgTest.cpp LABELS unit threads)
  fr_add_test(test_ui_game_run SOURCES ${t}/ui/GameDlgRunTest.cpp LIBS bf42sim_lib
    LABELS unit threads)
  fr_add_test(test_ui_irc SOURCES ${t}/ui/IrcDlgTest.cpp ${s}/ScriptedTcpServer.cpp
    LABELS unit threads)
  fr_add_test(test_ui_main SOURCES ${t}/ui/MainDlgTest.cpp ${s}/ScriptedTcpServer.cpp
    LIBS bf42sim_lib LABELS unit threads)
  fr_add_test(test_ui_console SOURCES ${t}/ui/MainDlgConsoleTest.cpp LABELS unit threads)
  fr_add_test(test_bf42sim_unit SOURCES ${t}/tools/ReplyBuilderTest.cpp ${t}/tools/ScenarioTest.cpp
    ${t}/tools/SimResponderTest.cpp ${t}/tools/LiveMatchTest.cpp ${t}/tools/DecoderContractTest.cpp
    LIBS bf42sim_lib LABELS unit)
  fr_add_test(test_bf42sim_server SOURCES ${t}/tools/SimServerTest.cpp LIBS bf42sim_lib
    LABELS unit threads)
  fr_add_test(test_bf42sim_v161 SOURCES ${t}/tools/V161StyleTest.cpp LIBS bf42sim_lib LABELS unit)
  target_compile_definitions(test_bf42sim_v161 PRIVATE FR_CAPTURED_DATA="${t}/monitor/data")
  if(TARGET fragrelay_win32)
    fr_add_test(test_win32 SOURCES ${t}/win32/Win32ViewTest.cpp LIBS fragrelay_win32
      LABELS unit threads)
    target_compile_definitions(test_win32 PRIVATE
      FR_SCREENSHOT_DIR="${CMAKE_BINARY_DIR}/screenshots")
    # The icon and the common controls of the window program.
    fr_windows_resources(test_win32 "fragrelay view tests" test_win32.exe MANIFEST)
  endif()
endfunction()
