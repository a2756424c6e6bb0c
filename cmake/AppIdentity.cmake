# The program's identity: a VS_VERSIONINFO block built from PROJECT_VERSION (on Windows the version
# resource, elsewhere an ELF section of its own), and a checksum written in after linking that
# the program checks at start.

include_guard(GLOBAL)

set(GORVANE_CRASH_SERVER "" CACHE STRING
    "Crash-report server (host, or host:port) that \"send bug report\" uploads to; empty for none")
set(GORVANE_COPYRIGHT_YEAR "2026" CACHE STRING "Year in the program's copyright notice")

set(_gorvane_identity_dir ${CMAKE_CURRENT_LIST_DIR})

function(gorvane_app_identity target)
  cmake_parse_arguments(ARG "" "DESCRIPTION" "" ${ARGN})
  if(NOT ARG_DESCRIPTION)
    set(ARG_DESCRIPTION "${PROJECT_DESCRIPTION}")
  endif()
  foreach(part MAJOR MINOR PATCH TWEAK)
    set(v_${part} "${PROJECT_VERSION_${part}}")
    if(v_${part} STREQUAL "")
      set(v_${part} 0)
    endif()
  endforeach()
  set(dotted "${v_MAJOR}.${v_MINOR}.${v_PATCH}.${v_TWEAK}")
  set(commas "${v_MAJOR}, ${v_MINOR}, ${v_PATCH}, ${v_TWEAK}")
  set(company "Halvessa Limited")
  set(product "Gorvane")
  set(copyright "Copyright © ${GORVANE_COPYRIGHT_YEAR} ${company}")
  set(trademarks "Gorvane is a trademark of ${company}.")
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target}_identity)

  # The checksum block; its marker is the one ChecksumMarker() builds.
  set(stamp "'G','O','R','V','A','N','E','-','C','H','E','C','K','S','U','M',0,0,0,0,0,0,0,0")

  if(WIN32)
    enable_language(RC)
    file(GENERATE OUTPUT ${dir}/version.rc CONTENT
"#include <winver.h>
#pragma code_page(65001)
1 VERSIONINFO
FILEVERSION ${v_MAJOR},${v_MINOR},${v_PATCH},${v_TWEAK}
PRODUCTVERSION ${v_MAJOR},${v_MINOR},${v_PATCH},${v_TWEAK}
FILEFLAGSMASK 0x3fL
FILEFLAGS 0x0L
FILEOS VOS_NT_WINDOWS32
FILETYPE VFT_APP
FILESUBTYPE 0x0L
BEGIN
  BLOCK \"StringFileInfo\"
  BEGIN
    BLOCK \"040904E4\"
    BEGIN
      VALUE \"CompanyName\", \"${company}\"
      VALUE \"FileDescription\", \"${ARG_DESCRIPTION}\"
      VALUE \"FileVersion\", \"${commas}\"
      VALUE \"InternalName\", \"${target}\"
      VALUE \"LegalCopyright\", \"${copyright}\"
      VALUE \"LegalTrademarks\", \"${trademarks}\"
      VALUE \"OriginalFilename\", \"$<TARGET_FILE_NAME:${target}>\"
      VALUE \"ProductName\", \"${product}\"
      VALUE \"ProductVersion\", \"${commas}\"
    END
  END
  BLOCK \"VarFileInfo\"
  BEGIN
    VALUE \"Translation\", 0x0409, 1252
  END
END
")
    file(GENERATE OUTPUT ${dir}/identity.cpp CONTENT
"#if defined(_MSC_VER)
#pragma comment(linker, \"/include:GorvaneChecksumBlock\")
#define GORVANE_KEEP
#else
#define GORVANE_KEEP __attribute__((used))
#endif
extern \"C\" {
GORVANE_KEEP unsigned char GorvaneChecksumBlock[24] = {${stamp}};
}
")
    target_sources(${target} PRIVATE ${dir}/version.rc ${dir}/identity.cpp)
  else()
    file(GENERATE OUTPUT ${dir}/version.txt CONTENT
"@file-version=${dotted}
@product-version=${dotted}
@translation=040904E4
CompanyName=${company}
FileDescription=${ARG_DESCRIPTION}
FileVersion=${commas}
InternalName=${target}
LegalCopyright=${copyright}
LegalTrademarks=${trademarks}
OriginalFilename=$<TARGET_FILE_NAME:${target}>
ProductName=${product}
ProductVersion=${commas}
")
    add_custom_command(OUTPUT ${dir}/version.bin
      COMMAND gorvane-identity version-block ${dir}/version.txt ${dir}/version.bin
      DEPENDS gorvane-identity ${dir}/version.txt
      COMMENT "Version block of ${target}" VERBATIM)
    file(GENERATE OUTPUT ${dir}/identity.cpp CONTENT
"// The version block in a section of its own, where the version reader looks for it.
__asm__(\".section .gorvane.version,\\\"a\\\"\\n\"
        \".incbin \\\"${dir}/version.bin\\\"\\n\"
        \".previous\\n\");
extern \"C\" {
__attribute__((used, section(\".gorvane.checksum\"))) unsigned char GorvaneChecksumBlock[24] = {${stamp}};
}

// Every throw of the program's own code passes here (the link wraps __cxa_throw), so that the crash
// reporter can show where an exception came from rather than where it was caught.
#include <execinfo.h>
#include <cstring>
namespace {
thread_local void* ThrowFrames[64];
thread_local int ThrowFrameCount = 0;
thread_local const void* ThrowObject = nullptr;
}
extern \"C\" {
[[noreturn]] void __real___cxa_throw(void*, void*, void (*)(void*));
[[noreturn]] void __wrap___cxa_throw(void* Object, void* Type, void (*Destructor)(void*)) {
    ThrowObject = Object;
    ThrowFrameCount = backtrace(ThrowFrames, 64);
    __real___cxa_throw(Object, Type, Destructor);
}
int GorvaneThrowTrace(const void* Object, void** Frames, int Max) {
    if (Object == nullptr || Object != ThrowObject)
        return 0;
    const int Count = ThrowFrameCount < Max ? ThrowFrameCount : Max;
    std::memcpy(Frames, ThrowFrames, sizeof(void*) * unsigned(Count));
    return Count;
}
}
")
    set_source_files_properties(${dir}/identity.cpp PROPERTIES OBJECT_DEPENDS ${dir}/version.bin)
    # Exported symbols give the crash reporter's stack traces their function names.
    set_target_properties(${target} PROPERTIES ENABLE_EXPORTS ON)
    target_link_options(${target} PRIVATE -Wl,--wrap=__cxa_throw)
    target_sources(${target} PRIVATE ${dir}/identity.cpp ${dir}/version.bin)
  endif()
  if(NOT CMAKE_CROSSCOMPILING)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND gorvane-identity stamp $<TARGET_FILE:${target}>
      COMMENT "Checksum of ${target}" VERBATIM)
  endif()
endfunction()
