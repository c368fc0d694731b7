/* Opens the first emulated board through the installed library. */
#include <stdio.h>

#include <DrelmTessaryLib.h>

int main(void) {
    int32_t handle = -1;
    BoardInfo info;
    if (DRELM_TSY_OpenTessary(0, 0, 0, 0, &handle) != DRELM_TSY_Success) return 1;
    if (DRELM_TSY_GetInfo(handle, &info) != DRELM_TSY_Success) return 1;
    printf("%s\n", info.modelName);
    return DRELM_TSY_CloseTessary(handle) == DRELM_TSY_Success ? 0 : 1;
}
