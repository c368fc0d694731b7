/* The public header compiled as C11 and linked against the shipped shared
 * library: opens an emulated board, reads its information, closes it. */
#include <stdio.h>
#include <string.h>

#include "DrelmTessaryLib.h"

static int failures = 0;

#define EXPECT(cond)                                              \
    do {                                                          \
        if (!(cond)) {                                            \
            fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #cond); \
            ++failures;                                           \
        }                                                         \
    } while (0)

int main(void) {
    int32_t handle = -1;
    BoardInfo info;
    int32_t channels = 0;
    int32_t groups = 0;
    uint32_t value = 0;

    EXPECT(DRELM_TSY_OpenTessary(0, 0, 0, 0, &handle) == DRELM_TSY_Success);
    EXPECT(handle == 0);
    memset(&info, 0xAA, sizeof info);
    EXPECT(DRELM_TSY_GetInfo(handle, &info) == DRELM_TSY_Success);
    EXPECT(strcmp(info.modelName, "M310") == 0);
    EXPECT(DRELM_TSY_GetMaxChannels(handle, &channels) == 0 && channels == 64);
    EXPECT(DRELM_TSY_GetMaxGroups(handle, &groups) == 0 && groups == 8);
    EXPECT(DRELM_TSY_ReadRegister(handle, 0xEF1C, &value) == 0 && value == 1023);
    EXPECT(DRELM_TSY_OpenTessary(6, 0, 0, 0, &handle) == DRELM_TSY_InvalidParam);
    EXPECT(DRELM_TSY_CloseTessary(handle) == DRELM_TSY_Success);
    EXPECT(DRELM_TSY_CloseTessary(handle) == DRELM_TSY_InvalidHandle);
    EXPECT(DRELM_TSY_ReadRegister(100, 0x8000, &value) == DRELM_TSY_InvalidHandle);

    if (failures == 0) printf("capi: all checks passed\n");
    return failures == 0 ? 0 : 1;
}
