/*
 * DrelmComm: the link layer between the host and the boards.
 *
 * Eight operations. Every one returns a status: 0 for success, a negative
 * code for a failure. This build of the library talks to software-emulated
 * boards (see DrelmEmulator.h); a build for real hardware offers the same
 * eight operations with the same meaning, so programs linked against this
 * one run unchanged on it.
 *
 * Statuses:
 *    0  success
 *   -1  generic failure (for example a link handle that is not open)
 *   -2  communication failure (an injected or emulated bus error)
 *   -3  invalid argument (null pointer, negative count)
 *   -4  unsupported connection type
 *   -5  invalid link number or node
 *   -6  the board at that address is already open
 *   -7  timeout
 *   -8  unknown host (Ethernet bridge)
 *   -9  too many links open
 *  -10  the addressed register does not exist (bus error on read)
 *  -11  the addressed register does not exist (bus error on write)
 *  -13  block read: the board ended the transfer (the words moved count)
 */
#ifndef DRELM_COMM_H
#define DRELM_COMM_H

#include <stdint.h>

#if defined(_WIN32)
#  if defined(DRELM_COMM_BUILDING)
#    define DRELM_COMM_API __declspec(dllexport)
#  else
#    define DRELM_COMM_API __declspec(dllimport)
#  endif
#elif defined(__GNUC__)
#  define DRELM_COMM_API __attribute__((visibility("default")))
#else
#  define DRELM_COMM_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Connection types. */
#define DRELM_LINK_USB 0           /* direct USB; link = USB link number */
#define DRELM_LINK_OPTICAL 1       /* optical link / PCI card; link = card number */
#define DRELM_LINK_USB_ADAPTER 5   /* USB adapter with daisy chain; node = position on the chain */
#define DRELM_LINK_ETHERNET 6      /* Ethernet bridge; link argument = host name text */
#define DRELM_LINK_USB_VME 7       /* USB to VME bridge; base address = VME base */

/* Query kinds of LinkQueryInfo. */
#define DRELM_QUERY_LINK_INFO 5    /* 4 bytes: link speed and version */

#define DRELM_COMM_END_OF_TRANSFER (-13)

/* Opens a link to the board at the given address. For connection type 6
 * linkArg is a NUL-terminated host name; for the others it points to an
 * int32 link number. Blocks while the link comes up. */
DRELM_COMM_API int32_t LinkOpen(int32_t connectionType, const void *linkArg, int32_t node,
                                uint32_t baseAddress, int32_t *linkHandle);
/* Releases the link. -1 for a handle that is not open. */
DRELM_COMM_API int32_t LinkClose(int32_t linkHandle);
/* Single-register accesses; block for one bus cycle. */
DRELM_COMM_API int32_t LinkReadRegister(int32_t linkHandle, uint32_t address, uint32_t *value);
DRELM_COMM_API int32_t LinkWriteRegister(int32_t linkHandle, uint32_t address, uint32_t value);
/* Register lists, made in order, one access per item (an address may repeat).
 * statuses[i] receives the status of item i; the result is the first
 * failing item's status, or 0. */
DRELM_COMM_API int32_t LinkWriteRegisters(int32_t linkHandle, const uint32_t *addresses, int32_t count,
                                          const uint32_t *values, int32_t *statuses);
DRELM_COMM_API int32_t LinkReadRegisters(int32_t linkHandle, const uint32_t *addresses, int32_t count,
                                         uint32_t *values, int32_t *statuses);
/* Block transfer of whole events from the board's event memory into buffer,
 * at most maxWords words. 0: words moved, more may follow. -13: the board
 * ended the transfer; the words moved count. Blocks for the transfer time. */
DRELM_COMM_API int32_t LinkBlockRead(int32_t linkHandle, uint32_t address, void *buffer, int32_t maxWords,
                                     int32_t *wordsMoved);
/* Link information; kind 5 fills 4 bytes. -3 for another kind. */
DRELM_COMM_API int32_t LinkQueryInfo(int32_t linkHandle, int32_t kind, void *info);

#ifdef __cplusplus
}
#endif

#endif /* DRELM_COMM_H */
