#pragma once
// Registration of the program as an event source of the Windows event log.
#include <cstdint>
#include <string>

// Creates HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\EventLog\<LogName>\<SourceName> and
// writes EventMessageFile and TypesSupported, plus CategoryMessageFile and CategoryCount when
// CategoryCount is not 0. False when the key cannot be opened or created; a refused value write
// raises ERegistryException.
bool RegisterEventLogSource(const std::string& LogName, const std::string& SourceName,
                            const std::string& MessageFile, std::uint32_t TypesSupported,
                            std::uint32_t CategoryCount);

// The start-up registration of "HLV HiveManager" in the "Application" log, called by main before
// the main window exists. Never fails the start: without the rights nothing is written.
void RegisterHiveManagerEventSource();
