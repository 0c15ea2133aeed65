/* The serial link library: one serial port at a time, opened with fixed
 * settings (8N1, binary, no flow control), RS-485 direction control, and
 * WAKE frames sent and received on it.
 *
 * Every function returns 1 on success and 0 on failure, with no reason given;
 * GetHandleCOM returns the handle instead. All functions work on the port last
 * opened; the library keeps one set of process-wide state and no lock, so a
 * caller never enters it from two threads at once. */
#ifndef SERLINK_H
#define SERLINK_H

#include <stdint.h>

#if defined(_WIN32)
#if defined(SERLINK_BUILDING)
#define SERLINK_API __declspec(dllexport)
#elif defined(SERLINK_LOADED_AT_RUN_TIME)
/* The program loads serlink.dll itself, from its own folder only. */
#define SERLINK_API
#else
#define SERLINK_API __declspec(dllimport)
#endif
#define SERLINK_CALL __stdcall
#else
#define SERLINK_API __attribute__((visibility("default")))
#define SERLINK_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Port names: "COMn", or a device path (any name that contains '/'). */
SERLINK_API int SERLINK_CALL AccessCOM(const char* name);
SERLINK_API int SERLINK_CALL OpenCOM(const char* name, uint32_t baud);
SERLINK_API int SERLINK_CALL CloseCOM(void);
/* The platform handle of the port (a file descriptor on POSIX); keeps its
 * last value after CloseCOM. -1 after an OpenCOM that could not open the
 * device, and once TxFrame or RxFrame found the device gone (unplugged, hung
 * up): the library has then given it back, and OpenCOM opens it again. */
SERLINK_API intptr_t SERLINK_CALL GetHandleCOM(void);
/* rtsMode 3: RS-485 direction control; otherwise the low two bits select
 * 0 RTS off, 1 RTS on, 2 handshake. dtrMode: low two bits, 0 off, 1 on,
 * 2 handshake. */
SERLINK_API int SERLINK_CALL SetModeCOM(int rtsMode, int dtrMode);
/* Modem-line functions: SETXOFF 1, SETXON 2, SETRTS 3, CLRRTS 4, SETDTR 5,
 * CLRDTR 6, SETBREAK 8, CLRBREAK 9. */
SERLINK_API int SERLINK_CALL SetModLns(uint32_t function);
/* Modem-line status: CTS 0x10, DSR 0x20, RING 0x40, RLSD 0x80. */
SERLINK_API int SERLINK_CALL GetModLns(uint32_t* status);
SERLINK_API int SERLINK_CALL PurgeCOM(void);
SERLINK_API int SERLINK_CALL FlushCOM(void);
SERLINK_API int SERLINK_CALL GetMaskCOM(uint32_t* mask);
SERLINK_API int SERLINK_CALL SetMaskCOM(uint32_t mask);
SERLINK_API int SERLINK_CALL WaitEventCOM(uint32_t* event);

/* Sends one WAKE frame. Address 0 leaves the address byte out; bit 7 of
 * address and command is ignored. */
SERLINK_API int SERLINK_CALL TxFrame(uint8_t address, uint8_t command, uint8_t count,
                                     const uint8_t* data);
/* Receives one WAKE frame; timeout (ms) applies to each byte separately.
 * data must hold 255 bytes. */
SERLINK_API int SERLINK_CALL RxFrame(uint32_t timeout, uint8_t* address, uint8_t* command,
                                     uint8_t* count, uint8_t* data);

#ifdef __cplusplus
}
#endif

#endif
