# The form base classes, the system-menu stand-in and the crash reporter of gorvane_ui.
list(APPEND GORVANE_UI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/hlvUIWindowsXP.cpp
  ${CMAKE_CURRENT_LIST_DIR}/hlvUIVista.cpp
  ${CMAKE_CURRENT_LIST_DIR}/hlvUIWindows7.cpp
)
list(APPEND GORVANE_UI_SOURCES ${CMAKE_CURRENT_LIST_DIR}/hlvSystemMenu.cpp)
