# The stand-ins for the message box, the file-open dialog and the shell "open" of gorvane_ui.
list(APPEND GORVANE_UI_SOURCES ${CMAKE_CURRENT_LIST_DIR}/hlvDialogs.cpp)
