/*
 * DrelmTessaryLib: host library for the Tessary family of multi-channel
 * peak-sensing digitizer boards.
 *
 * Every function returns a LibStatus: 0 on success, a negative code on
 * failure. Values come back through out-parameters. A board is named by the
 * handle that an open call hands out (0 to 99).
 *
 * The library reaches the boards only through the communication library
 * DrelmComm, linked at load time: this library is linked against the shared
 * library libDrelmComm.so, which the dynamic loader loads along with it, so
 * another build of it under that name can take its place without relinking.
 */
#ifndef DRELM_TESSARY_LIB_H
#define DRELM_TESSARY_LIB_H

#include <stddef.h>
#include <stdint.h>

#if defined(DRELM_TSY_STATIC)
/* Linked from a static library: nothing to import. */
#  define DRELM_TSY_API
#elif defined(_WIN32)
#  if defined(DRELM_TSY_BUILDING)
#    define DRELM_TSY_API __declspec(dllexport)
#  else
#    define DRELM_TSY_API __declspec(dllimport)
#  endif
#elif defined(__GNUC__)
#  define DRELM_TSY_API __attribute__((visibility("default")))
#else
#  define DRELM_TSY_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ======================================================================
 * Types and records
 * ====================================================================== */

/* Status codes. Values are fixed and never renumbered. */
typedef enum LibStatus {
    DRELM_TSY_Success = 0,
    DRELM_TSY_GenericError = -1,
    DRELM_TSY_CommError = -2,
    DRELM_TSY_InvalidParam = -3,
    DRELM_TSY_LinkStatus4 = -4,
    DRELM_TSY_InvalidHandle = -5,
    DRELM_TSY_TooManyBoards = -6,
    DRELM_TSY_ReadFailed = -10,
    DRELM_TSY_WriteFailed = -11,
    DRELM_TSY_InvalidGroup = -13,
    DRELM_TSY_UnsupportedBoard = -17,
    DRELM_TSY_Timeout = -18,
    DRELM_TSY_DecodeError = -20,
    DRELM_TSY_OutOfMemory = -23,
    DRELM_TSY_LinkStatus25 = -25,
    DRELM_TSY_CommReadError = -26,
    DRELM_TSY_NotResponding = -27,
    DRELM_TSY_NotAvailable = -99
} LibStatus;

#define DRELM_TSY_MAX_BOARDS 100

/* Board information, 128 bytes, little-endian, texts NUL-terminated. */
typedef struct BoardInfo {
    char modelName[12];      /*   0 */
    int32_t formIndex;       /*  12 */
    uint32_t boardInfoByte2; /*  16: bits 16-23 of register 0x8140 */
    uint32_t formCode;       /*  20 */
    uint32_t familyCode;     /*  24 */
    char rocRelease[20];     /*  28 */
    char amcRelease[40];     /*  48 */
    uint32_t romCode16;      /*  88 */
    uint32_t romCode32;      /*  92 */
    uint32_t familyConstant; /*  96 */
    int32_t linkHandle;      /* 100 */
    uint8_t linkInfo[4];     /* 104 */
    uint8_t reserved[20];    /* 108 */
} BoardInfo;

/* One block of 16 channels of a decoded event, 16 bytes. */
typedef struct EventBlock {
    uint16_t channelMask; /* bit k: channel 16p+k has an amplitude */
    uint16_t headerField; /* bits 16-27 of the block header word */
    uint16_t headerFlag;  /* bit 28 of the block header word */
    uint16_t pileUp;      /* bit 31 of the block header word */
    /* Points into the readout buffer: valid until the next transfer into it.
     * Bit 15 of an amplitude is the saturation flag, bits 0-13 the value. */
    const uint16_t *amplitudes;
} EventBlock;

/* One decoded event, 80 bytes. */
typedef struct EventRecord {
    uint32_t eventSize;    /* words of the whole event, header included */
    uint32_t triggerIndex; /* 24 bits, wraps */
    uint64_t timestamp;    /* 48 bits of 8 ns ticks */
    EventBlock blocks[4];  /* block p at index p */
} EventRecord;

/* Largest number of events that one transfer can carry, and so the size of
 * the record array that DRELM_TSY_GetEvents may fill. */
#define DRELM_TSY_MAX_EVENTS_PER_TRANSFER 1023

/* The layouts are fixed to the byte: check them wherever the header is built. */
#if defined(__cplusplus)
#  define DRELM_TSY_LAYOUT_CHECK(cond, msg) static_assert(cond, msg)
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
#  define DRELM_TSY_LAYOUT_CHECK(cond, msg) _Static_assert(cond, msg)
#endif
#ifdef DRELM_TSY_LAYOUT_CHECK
DRELM_TSY_LAYOUT_CHECK(sizeof(BoardInfo) == 128, "BoardInfo is 128 bytes");
DRELM_TSY_LAYOUT_CHECK(sizeof(EventBlock) == 16, "EventBlock is 16 bytes");
DRELM_TSY_LAYOUT_CHECK(sizeof(EventRecord) == 80, "EventRecord is 80 bytes");
DRELM_TSY_LAYOUT_CHECK(offsetof(BoardInfo, formIndex) == 12, "BoardInfo.formIndex at 12");
DRELM_TSY_LAYOUT_CHECK(offsetof(BoardInfo, boardInfoByte2) == 16, "BoardInfo.boardInfoByte2 at 16");
DRELM_TSY_LAYOUT_CHECK(offsetof(BoardInfo, formCode) == 20, "BoardInfo.formCode at 20");
DRELM_TSY_LAYOUT_CHECK(offsetof(BoardInfo, familyCode) == 24, "BoardInfo.familyCode at 24");
DRELM_TSY_LAYOUT_CHECK(offsetof(BoardInfo, rocRelease) == 28, "BoardInfo.rocRelease at 28");
DRELM_TSY_LAYOUT_CHECK(offsetof(BoardInfo, amcRelease) == 48, "BoardInfo.amcRelease at 48");
DRELM_TSY_LAYOUT_CHECK(offsetof(BoardInfo, romCode16) == 88, "BoardInfo.romCode16 at 88");
DRELM_TSY_LAYOUT_CHECK(offsetof(BoardInfo, romCode32) == 92, "BoardInfo.romCode32 at 92");
DRELM_TSY_LAYOUT_CHECK(offsetof(BoardInfo, familyConstant) == 96, "BoardInfo.familyConstant at 96");
DRELM_TSY_LAYOUT_CHECK(offsetof(BoardInfo, linkHandle) == 100, "BoardInfo.linkHandle at 100");
DRELM_TSY_LAYOUT_CHECK(offsetof(BoardInfo, linkInfo) == 104, "BoardInfo.linkInfo at 104");
DRELM_TSY_LAYOUT_CHECK(offsetof(BoardInfo, reserved) == 108, "BoardInfo.reserved at 108");
DRELM_TSY_LAYOUT_CHECK(offsetof(EventBlock, headerField) == 2, "EventBlock.headerField at 2");
DRELM_TSY_LAYOUT_CHECK(offsetof(EventBlock, headerFlag) == 4, "EventBlock.headerFlag at 4");
DRELM_TSY_LAYOUT_CHECK(offsetof(EventBlock, pileUp) == 6, "EventBlock.pileUp at 6");
DRELM_TSY_LAYOUT_CHECK(offsetof(EventBlock, amplitudes) == 8, "EventBlock.amplitudes at 8");
DRELM_TSY_LAYOUT_CHECK(offsetof(EventRecord, triggerIndex) == 4, "EventRecord.triggerIndex at 4");
DRELM_TSY_LAYOUT_CHECK(offsetof(EventRecord, timestamp) == 8, "EventRecord.timestamp at 8");
DRELM_TSY_LAYOUT_CHECK(offsetof(EventRecord, blocks) == 16, "EventRecord.blocks at 16");
#undef DRELM_TSY_LAYOUT_CHECK
#endif

/* ======================================================================
 * Register access
 * Returns 0, -5 (handle not open), -1 (any link failure).
 * ====================================================================== */

DRELM_TSY_API int32_t DRELM_TSY_WriteRegister(int32_t handle, uint32_t address, uint32_t value);
DRELM_TSY_API int32_t DRELM_TSY_ReadRegister(int32_t handle, uint32_t address, uint32_t *value);
DRELM_TSY_API int32_t DRELM_TSY_SetRegisterBitMask(int32_t handle, uint32_t address, uint32_t mask);
DRELM_TSY_API int32_t DRELM_TSY_ClearRegisterBitMask(int32_t handle, uint32_t address, uint32_t mask);

/* ======================================================================
 * Opening, identification, reset and closing
 * ====================================================================== */

/* Connection types 6 and 7 and negative link numbers: -3. Otherwise as
 * DRELM_TSY_OpenTessary2 with a pointer to the link number. */
DRELM_TSY_API int32_t DRELM_TSY_OpenTessary(int32_t connectionType, int32_t linkNumber, int32_t node,
                                            uint32_t baseAddress, int32_t *handle);
/* 0; -6 table full; translated link status; -26 identification read failed;
 * -10/-1 board information incomplete; -2 no group answers; -26/-17/-10/-11
 * start-up settings failed. */
DRELM_TSY_API int32_t DRELM_TSY_OpenTessary2(int32_t connectionType, const void *linkArg, int32_t node,
                                             uint32_t baseAddress, int32_t *handle);
/* 0, -5, or the translated link-close status (the entry is freed anyway). */
DRELM_TSY_API int32_t DRELM_TSY_CloseTessary(int32_t handle);
/* 0, -5, -26, -27 not responding, -10, -18 not ready, -11 settings failed. */
DRELM_TSY_API int32_t DRELM_TSY_Reset(int32_t handle);
/* 0, -5, -3 null pointer. */
DRELM_TSY_API int32_t DRELM_TSY_GetInfo(int32_t handle, BoardInfo *info);
/* 0, -99 family not served, -5 handle outside 0..99, -3 null pointer. */
DRELM_TSY_API int32_t DRELM_TSY_GetMaxChannels(int32_t handle, int32_t *channels);
DRELM_TSY_API int32_t DRELM_TSY_GetMaxGroups(int32_t handle, int32_t *groups);

/* ======================================================================
 * Channel and group settings
 * Every function answers -5 for a handle that names no open board, before
 * any register access. Each lists the statuses it returns for a failed
 * read or write; only the DC-offset busy wait repeats an access.
 * ====================================================================== */

/* Writes the length to 0x8020 as given. 0, -5, -11. */
DRELM_TSY_API int32_t DRELM_TSY_SetRecordLength(int32_t handle, uint32_t length);
/* Spectrum resolution code into bits 0-2 of 0x80E0 (other bits kept).
 * 0, -5, -10 (read or write failed). */
DRELM_TSY_API int32_t DRELM_TSY_SetChMode(int32_t handle, uint32_t code);
/* Bit 4 of 0x80E0: mode 0 clears it, 1 sets it. 0, -5, -3 any other mode
 * (no register access), -10, -11. */
DRELM_TSY_API int32_t DRELM_TSY_SetTriggerMode(int32_t handle, int32_t mode);
/* Set / clear bit 16 (sliding scale) of 0x80E0. 0, -5, -10, -11. */
DRELM_TSY_API int32_t DRELM_TSY_SlScaleEnable(int32_t handle);
DRELM_TSY_API int32_t DRELM_TSY_SlScaleDisable(int32_t handle);
/* Set / clear bit 17 (zero suppression) of 0x80E0. 0, -5, -10, -11. */
DRELM_TSY_API int32_t DRELM_TSY_ZSEnable(int32_t handle);
DRELM_TSY_API int32_t DRELM_TSY_ZSDisable(int32_t handle);
/* Bit 18 of 0x80E0 := polarity AND 1. 0, -5, -10 (read or write failed). */
DRELM_TSY_API int32_t DRELM_TSY_SetPolarity(int32_t handle, uint32_t polarity);
/* Bit 19 of 0x80E0 := range AND 1. 0, -5, -10 (read or write failed). */
DRELM_TSY_API int32_t DRELM_TSY_SetInputRange(int32_t handle, uint32_t range);
/* Set / clear bit 30 (offset mode) of 0x80E0. 0, -5, -10, -11. */
DRELM_TSY_API int32_t DRELM_TSY_SetOffsetMode(int32_t handle);
DRELM_TSY_API int32_t DRELM_TSY_ResetOffsetMode(int32_t handle);
/* Set / clear bit 31 (calibration mode) of 0x80E0. 0, -5, -10, -11. */
DRELM_TSY_API int32_t DRELM_TSY_SetCalibMode(int32_t handle);
DRELM_TSY_API int32_t DRELM_TSY_ResetCalibMode(int32_t handle);
/* Writes threshold AND 0x3FFF to 0x1024 | ((group & 0xFF) << 8). The group
 * is not checked against the board. 0, -5, -11. */
DRELM_TSY_API int32_t DRELM_TSY_SetGroupZSThreshold(int32_t handle, uint32_t group, uint32_t threshold);
/* Stores the whole register 0x1024 | ((group & 0xFF) << 8), unmasked.
 * 0, -5, -3 null pointer, -10 (nothing stored). */
DRELM_TSY_API int32_t DRELM_TSY_GetGroupZSThreshold(int32_t handle, uint32_t group, uint32_t *threshold);
/* Writes the mask to 0x10A8 | (group << 8). 0, -5, -13 group below 0 or
 * not below the board's group count, -11. */
DRELM_TSY_API int32_t DRELM_TSY_SetChannelEnableMask(int32_t handle, int32_t group, uint32_t mask);
/* Waits until the group is idle (bit 2 of 0x1088 | (group << 8) clear; at
 * most 16 status reads, 100 ms apart, board lock released while waiting),
 * then writes the offset to 0x1098 | (group << 8), upper half 0.
 * 0, -5, -17 board family not served, -13 group not below the group count,
 * -3 offset above 0xFFFF, -10 a status read failed, -17 the write failed,
 * -18 still busy after 16 reads. */
DRELM_TSY_API int32_t DRELM_TSY_SetGroupDCOffset(int32_t handle, uint32_t group, uint32_t offset);
/* Replaces one 16-bit half of 0x1098 | (group << 8) (whole 16-bit group,
 * not range-checked): half 0 bits 0-15, half 1 bits 16-31, keeping the
 * other half as read; any other half writes nothing. First waits until the
 * group is idle, as DRELM_TSY_SetGroupDCOffset does (a busy group would
 * ignore the write); the status read, the read and the write are made under
 * one hold of the board lock; then, with the lock released, a 10 ms pause
 * follows every call on an open board.
 * 0; -5; -10 the status read or the read failed: nothing is written (the
 * other half would be unknown); -11 the write failed; -18 still busy after
 * 16 status reads. */
DRELM_TSY_API int32_t DRELM_TSY_DACOffsetWrite(int32_t handle, uint16_t group, int32_t half, uint16_t offset);
/* Stores half 0 (bits 0-15) or half 1 (bits 16-31) of 0x1098 | (group << 8);
 * any other half reads the register and stores nothing.
 * 0; -5; -3 null pointer (no register access); -10 the read failed
 * (nothing stored). */
DRELM_TSY_API int32_t DRELM_TSY_DACOffsetRead(int32_t handle, uint16_t group, int32_t half, uint16_t *offset);

/* ======================================================================
 * Acquisition and trigger control
 * Unless stated, -5 for a handle that names no open board, before any
 * register access. Nothing is retried; a failure keeps changes already made.
 * ====================================================================== */

/* Sets the run bit (bit 2) of 0x8100, keeping every other bit. With start
 * mode 0 (bits 0-1) it then waits for the running bit (bit 2) of 0x8104:
 * at most 50 reads, 10 ms apart, board lock released while waiting.
 * 0; -5; -10 reading 0x8100 failed; -17 writing 0x8100 failed; -26 a status
 * read failed; -1 the running status did not appear within 50 reads. */
DRELM_TSY_API int32_t DRELM_TSY_SWStartAcquisition(int32_t handle);
/* Clears the run bit of 0x8100, keeping every other bit; does not wait.
 * 0; -5; -10 reading 0x8100 failed; -17 writing 0x8100 failed. */
DRELM_TSY_API int32_t DRELM_TSY_SWStopAcquisition(int32_t handle);
/* Bits 0-1 of 0x8100 := startMode AND 3, every other bit kept.
 * 0; -5; -10 the read failed; -11 the write failed (not -17). */
DRELM_TSY_API int32_t DRELM_TSY_SetAcquisitionMode(int32_t handle, uint32_t startMode);
/* Writes 0 to 0x8108. 0; -1 for a handle that names no open board (never
 * -5) and for a failed write. */
DRELM_TSY_API int32_t DRELM_TSY_SendSWtrigger(int32_t handle);
/* Routes the software trigger (bit 31) / the external trigger input (bit 30)
 * in the trigger masks 0x810C then 0x8110: mode 1 first only, 2 second
 * only, 3 both, any other value neither. 0; -5; -1 any register access
 * failed (a failed second change keeps the first). */
DRELM_TSY_API int32_t DRELM_TSY_SetSWTriggerMode(int32_t handle, int32_t mode);
DRELM_TSY_API int32_t DRELM_TSY_SetExtTriggerInputMode(int32_t handle, int32_t mode);
/* Bit 0 of 0x811C: cleared for level 0, set otherwise. 0; -5; -1 the read or
 * the write failed. */
DRELM_TSY_API int32_t DRELM_TSY_SetIOLevel(int32_t handle, int32_t level);
/* Writes maxEvents (0 to 1024 inclusive) to 0xEF1C. 0; -5; -3 above 1024
 * (nothing written); -17 the write failed. */
DRELM_TSY_API int32_t DRELM_TSY_SetMaxNumEventsBLT(int32_t handle, uint32_t maxEvents);
/* Writes 0x55 (64-channel boards) or 0x05 (32-channel boards) to 0x8120.
 * 0; -5; -17 board form not served (nothing written); -11 the write failed. */
DRELM_TSY_API int32_t DRELM_TSY_SetGroupEnableMask(int32_t handle);

/* ======================================================================
 * Readout buffer, data transfer, event decoding and time counters
 * ====================================================================== */

/* Allocates a readout buffer sized for the board: 163696 bytes for the
 * 64-channel forms, 90040 for the 32-channel forms (1023 largest events and
 * 16 spare bytes), stores it through buffer and its size through size, and
 * makes that size the board's bound for DRELM_TSY_ReadData. The caller owns
 * the buffer and releases it with DRELM_TSY_FreeReadoutBuffer; its contents
 * are not cleared, and an earlier buffer is not released.
 * 0; -5 handle not open; -3 null pointer; -17 not a board of this family or
 * an unknown form; -23 allocation failed (NULL stored through buffer). */
DRELM_TSY_API int32_t DRELM_TSY_MallocReadoutBuffer(int32_t handle, void **buffer, uint32_t *size);
/* Releases *buffer (NULL is allowed) and returns 0; -3 if buffer is NULL.
 * The caller's pointer is left as it was. */
DRELM_TSY_API int32_t DRELM_TSY_FreeReadoutBuffer(void **buffer);
/* Moves data from the board into buffer and stores the bytes moved through
 * bytesRead, holding the board's lock for the whole transfer. Never moves
 * more than the size of the board's readout buffer (2 MiB until
 * DRELM_TSY_MallocReadoutBuffer is called).
 * Mode 0: block reads until the board ends the transfer. Mode 3: one event,
 * of the size that register 0x814C gives (0: nothing to read); a block read
 * that ends with the board's end of transfer (-13) counts as success, as in
 * mode 0.
 * 0; -5 handle not open or -3 null pointer (nothing stored through
 * bytesRead); otherwise the count is stored, 0 on every failure:
 * -1 a block read failed, or the link kept answering with no data (-23
 * instead when less room was left than the largest event of the board's
 * form: 22 words with 32 channels, 40 with 64);
 * -10 mode 3 size read failed; -23 buffer full before the board ended the
 * transfer, or a mode 3 event larger than the buffer (nothing read);
 * -99 modes 1, 2, 4 and 5; -2 any other mode. */
DRELM_TSY_API int32_t DRELM_TSY_ReadData(int32_t handle, int32_t mode, void *buffer, uint32_t *bytesRead);
/* Decodes words 32-bit words of a filled readout buffer into events[], one
 * record per event, and stores the number of records written through
 * eventCount. The handle is ignored. No amplitude is copied: each present
 * block's amplitudes point into buffer, valid until the next transfer into
 * it. Blocks absent from an event are cleared (channel mask 0, flags 0,
 * amplitudes NULL). One trailing word after the last event is ignored.
 *
 * The record count cannot be passed, so events[] must hold
 * DRELM_TSY_MAX_EVENTS_PER_TRANSFER (1023) records, the most that one
 * transfer carries: the decoder writes at most that many and fails beyond.
 * It never reads outside buffer[0 .. words-1], whatever the words hold.
 *
 * 0; -3 a NULL pointer (nothing stored); -20 malformed buffer: an event
 * size below the 4 header words (0 included), an event, its header or one
 * of its blocks running past words, or more than 1023 events. On -20 the
 * records written so far stay, the bad one included and counted, and the
 * last record's size, the buffer size, the event count and every buffer
 * word are printed to standard output. */
DRELM_TSY_API int32_t DRELM_TSY_GetEvents(int32_t handle, const uint32_t *buffer, uint32_t words,
                                          EventRecord *events, uint32_t *eventCount);
/* Read 0x81C8 (total time) and 0x81CC (dead time), in units of
 * 65536 x 8 ns. 0; -5 handle not open; -3 NULL value; -10 read failed. */
DRELM_TSY_API int32_t DRELM_TSY_GetTotalTime(int32_t handle, uint32_t *value);
DRELM_TSY_API int32_t DRELM_TSY_GetDeadTime(int32_t handle, uint32_t *value);

/* ======================================================================
 * Offset and calibration tables
 * Every function answers -5 for a handle that names no open board, before
 * anything else. Table files are text files in the given directory, read
 * at most 19 characters at a time (a longer line counts as several); a
 * line without a number repeats the value before it. A missing file is no
 * failure: a warning goes to standard output. Only one table job uses the
 * flash at a time in the process; the others wait for it.
 * ====================================================================== */

/* Stores the offset table in the board's flash, from directory/
 * DAC_Offset_NEG.txt and DAC_Offset_POS.txt: one hexadecimal 16-bit value
 * per line, line g for group g (0 to 7), later lines ignored. A missing file
 * leaves its half of every group 0.
 * 0; -5; -3 directory NULL; -1 the flash chip did not identify (nothing
 * erased or written); -18 the chip never reported ready while the table's
 * page was erased or written. */
DRELM_TSY_API int32_t DRELM_TSY_UploadOffsetToFlash(int32_t handle, const char *directory);
/* Stores every calibration table of the board in its flash, one page per
 * table: for sign NEG then POS, kind DACDU then DACUD and each channel of
 * the board, the file directory/<kind>_<channel>_<sign>.txt, one decimal
 * value per line (rounded, low 14 bits kept; the first 4096 lines count). A
 * missing file stores a table of zeros.
 * 0; -5; -3 directory NULL; -1 the flash chip did not identify (nothing
 * erased or written); -18 the chip never reported ready while a page was
 * erased or written (the upload stops there: tables before it are stored,
 * later ones untouched). */
DRELM_TSY_API int32_t DRELM_TSY_UploadCalibToFlash(int32_t handle, const char *directory);
/* Loads the offset table from the flash into the groups' DC-offset
 * registers, 10 ms apart, each once its group is idle (a busy group would
 * drop the offset). 0; -5; -1 the flash could not be read, a status read or
 * a write failed, or a group stayed busy (later groups keep their offsets). */
DRELM_TSY_API int32_t DRELM_TSY_LoadOffset(int32_t handle);
/* Loads every calibration table of the board from its flash into the
 * board (one load word per entry, 32 to a list write), then sets bit 0 of
 * 0x80E4 to record the load. When that bit is already set, loads nothing
 * and returns 0.
 * 0; -5; -10 reading 0x80E4 failed (nothing loaded); -1 the flash chip did
 * not identify or a table page could not be read; -11 a list write failed;
 * after -1 and -11 the tables sent so far stay and bit 0 stays clear, so
 * that the next call loads them all again; otherwise the status of setting
 * bit 0: -10 its read failed, -11 its write failed. */
DRELM_TSY_API int32_t DRELM_TSY_LoadCalibration(int32_t handle);
/* Loads the calibration tables straight from the text files, named as for
 * DRELM_TSY_UploadCalibToFlash, into the board without the flash: one load
 * word per line, 32 to a list write; a last batch of fewer than 32 words is
 * not sent. A missing file leaves that table as it was; a file of more than
 * 4096 lines prints a message and its further lines are ignored. Neither
 * reads nor sets bit 0 of 0x80E4.
 * 0; -5; -3 directory NULL; -11 a list write failed (nothing more is sent;
 * the tables sent so far stay). */
DRELM_TSY_API int32_t DRELM_TSY_LoadCalibrationFromFiles(int32_t handle, const char *directory);

#ifdef __cplusplus
}
#endif

#endif /* DRELM_TESSARY_LIB_H */
