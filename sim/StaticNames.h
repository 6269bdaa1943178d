// The virtual gyro linked into a program instead of loaded as a library (the browser
// edition): its 35 D2XX entry points take the prefix tarvex_vgyro_, so they do not stand
// for the driver's own names. Included first in every file of the static build and by the
// code that binds them; the names in texts (faults, logs) stay the D2XX names.
#pragma once

#define FT_Open tarvex_vgyro_FT_Open
#define FT_OpenEx tarvex_vgyro_FT_OpenEx
#define FT_ListDevices tarvex_vgyro_FT_ListDevices
#define FT_Close tarvex_vgyro_FT_Close
#define FT_Read tarvex_vgyro_FT_Read
#define FT_Write tarvex_vgyro_FT_Write
#define FT_ResetDevice tarvex_vgyro_FT_ResetDevice
#define FT_Purge tarvex_vgyro_FT_Purge
#define FT_SetTimeouts tarvex_vgyro_FT_SetTimeouts
#define FT_GetQueueStatus tarvex_vgyro_FT_GetQueueStatus
#define FT_SetDtr tarvex_vgyro_FT_SetDtr
#define FT_ClrDtr tarvex_vgyro_FT_ClrDtr
#define FT_SetRts tarvex_vgyro_FT_SetRts
#define FT_ClrRts tarvex_vgyro_FT_ClrRts
#define FT_GetModemStatus tarvex_vgyro_FT_GetModemStatus
#define FT_SetChars tarvex_vgyro_FT_SetChars
#define FT_SetLatencyTimer tarvex_vgyro_FT_SetLatencyTimer
#define FT_GetLatencyTimer tarvex_vgyro_FT_GetLatencyTimer
#define FT_SetDataCharacteristics tarvex_vgyro_FT_SetDataCharacteristics
#define FT_SetFlowControl tarvex_vgyro_FT_SetFlowControl
#define FT_SetBreakOn tarvex_vgyro_FT_SetBreakOn
#define FT_SetBreakOff tarvex_vgyro_FT_SetBreakOff
#define FT_ResetPort tarvex_vgyro_FT_ResetPort
#define FT_GetDeviceInfo tarvex_vgyro_FT_GetDeviceInfo
#define FT_EE_UASize tarvex_vgyro_FT_EE_UASize
#define FT_EE_UARead tarvex_vgyro_FT_EE_UARead
#define FT_EE_UAWrite tarvex_vgyro_FT_EE_UAWrite
#define FT_SetBitMode tarvex_vgyro_FT_SetBitMode
#define FT_GetBitMode tarvex_vgyro_FT_GetBitMode
#define FT_SetEventNotification tarvex_vgyro_FT_SetEventNotification
#define FT_GetStatus tarvex_vgyro_FT_GetStatus
#define FT_GetEventStatus tarvex_vgyro_FT_GetEventStatus
#define FT_SetBaudRate tarvex_vgyro_FT_SetBaudRate
#define FT_GetDriverVersion tarvex_vgyro_FT_GetDriverVersion
#define FT_GetLibraryVersion tarvex_vgyro_FT_GetLibraryVersion
