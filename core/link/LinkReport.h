#pragma once

#include <cstdint>

// Every failure or notice the serial link reports: where it happened, how loud it is, and its
// fixed text. Places are shared by several steps on purpose; callers tell them apart by text.
struct LinkReport {
    std::uint32_t place;
    std::uint8_t noise; // 0 error, 1 warning, 2 message
    const char* msg;
};

namespace Report {
inline constexpr std::uint8_t Error = 0, Warning = 1, Message = 2;

// Property setters and construction.
inline constexpr LinkReport XonLimitCapped{100, Warning, "Warning XOnLimDef set to 100"};
inline constexpr LinkReport XoffLimitCapped{100, Warning, "Warning XOffLimDef set to 100"};
inline constexpr LinkReport RxQueueSizeRefused{101, Error, "Error can not set Quesize"};
inline constexpr LinkReport TxQueueSizeRefused{102, Error, "Error can not set Quesize"};
inline constexpr LinkReport ResetWriteEventFailed{1101, Error, "Error resetting Overlapped Event"};

// Opening and closing.
inline constexpr LinkReport Deactivating{100, Message, "Msg start deactivating Port"};
inline constexpr LinkReport DisableEventsFailed{101, Error, "Error disabling CommEvents"};
inline constexpr LinkReport ClearQueuesFailed{102, Error, "Error clearing Queues"};
inline constexpr LinkReport ThreadIsRunning{104, Warning, "Warning ThreadIsRunning"};
inline constexpr LinkReport CloseFailed{103, Error, "Error closing Port"};
inline constexpr LinkReport Reactivating{110, Message, "Msg start reactivating Port"};
inline constexpr LinkReport OpenFailed{112, Error, "Error reopening Port"};
inline constexpr LinkReport QueueSizeSetupFailed{111, Error, "Error setup Queuesize"};
inline constexpr LinkReport EnableEventsFailed{201, Error, "Error activating CommEventMask"};

// Modem-control lines and break.
inline constexpr LinkReport SetRtsFailed{501, Error, "Error setting RTS"};
inline constexpr LinkReport ClearRtsFailed{502, Error, "Error clearing RTS"};
inline constexpr LinkReport SetDtrFailed{601, Error, "Error setting DTR"};
inline constexpr LinkReport ClearDtrFailed{602, Error, "Error clearing DTR"};
inline constexpr LinkReport SetBreakFailed{701, Error, "Error setting BREAK State"};
inline constexpr LinkReport ClearBreakFailed{702, Error, "Error clearing BREAK State"};

// Line settings.
inline constexpr LinkReport GetLineSettingsFailed{801, Error, "Error getting DCB from CommState"};
inline constexpr LinkReport LineTimeoutsFailed{802, Error, "Error setting CommTimeout"};
inline constexpr LinkReport LineSettingsRefused{802, Error,
                                                "Error setting CommState, 87 indicate that Parms are incorrect"};

// Sending.
inline constexpr LinkReport SendWhileSending{901, Message, "Msg, dont enter SendData while SendInProgress is set"};
inline constexpr LinkReport SendTimeoutsFailed{902, Error, "Error setting CommTimeout"};
inline constexpr LinkReport WriteFailed{903, Error, "Error writing Data"};

// The worker's steps.
inline constexpr LinkReport WriteTimedOut{9701, Error, "Error write TimeOut"};
inline constexpr LinkReport WriteResultFailed{9702, Error, "Error getting Overlapped Result"};
inline constexpr LinkReport LineStatusFailed{9803, Error, "Error ClearCommError"};
inline constexpr LinkReport ReadFailed{9804, Error, "Error reading Data"};
inline constexpr LinkReport ModemStatusFailed{9905, Error, "Error getting ModemStatus"};
inline constexpr LinkReport EventWaitFailed{9907, Error, "Error calling WaitCommEvent"};
inline constexpr LinkReport ReadAborted{9907, Error, "Error read aborted"};
inline constexpr LinkReport ReadResultFailed{9908, Error, "Error getting Overlappedresult"};
inline constexpr LinkReport WaitBothFailed{9911, Error, "Error getting Overlappedresult"};
inline constexpr LinkReport WaitReadFailed{9912, Error, "Error getting Overlappedresult"};
inline constexpr LinkReport WaitEventFailed{9913, Error, "Error getting Overlappedresult"};
inline constexpr LinkReport SignalFailed{9914, Error, "Error signalling Overlapped Event"};
} // namespace Report
