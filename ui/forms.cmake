# The form base classes, the system-menu stand-in and the crash reporter of gorvane_ui.
list(APPEND GORVANE_UI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/hlvUIWindowsXP.cpp
  ${CMAKE_CURRENT_LIST_DIR}/hlvUIVista.cpp
  ${CMAKE_CURRENT_LIST_DIR}/hlvUIWindows7.cpp
)
list(APPEND GORVANE_UI_SOURCES ${CMAKE_CURRENT_LIST_DIR}/hlvSystemMenu.cpp)
list(APPEND GORVANE_UI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/hlvCrashReporter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/hlvApplication.cpp
)
# The version and the crash-report server the reporter names and uses.
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/hlvCrashReporter.cpp PROPERTIES COMPILE_DEFINITIONS
  "GORVANE_VERSION=\"${PROJECT_VERSION}\";GORVANE_CRASH_SERVER_DEFAULT=\"${GORVANE_CRASH_SERVER}\"")
