#include "project_file.h"

#include <stdio.h>
#include <wchar.h>

#include "host.h"

enum { kMaxBlockSize = 64 * 1024 };

static unsigned char block[kMaxBlockSize];

bool OpenProjectFile(const wchar_t *path)
{
    FILE *file = _wfopen(path, L"rb");
    if (file == NULL)
        return false;
    size_t size = fread(block, 1, sizeof block, file);
    bool whole = fgetc(file) == EOF && !ferror(file);
    fclose(file);
    if (!whole)
        return false;
    HostLoadProject(block, (int32_t)size);
    return true;
}

bool SaveProjectFile(const wchar_t *path)
{
    int32_t size = 0;
    if (HostSaveProject(NULL, &size) == 0 || size < 0 || size > kMaxBlockSize)
        return false;
    if (HostSaveProject(block, &size) == 0)
        return false;
    static wchar_t partial[MAX_PATH * 2 + 16];
    swprintf(partial, sizeof partial / sizeof partial[0], L"%ls.partial", path);
    FILE *file = _wfopen(partial, L"wb");
    if (file == NULL)
        return false;
    bool written = fwrite(block, 1, (size_t)size, file) == (size_t)size;
    written = fclose(file) == 0 && written;
    return written && MoveFileExW(partial, path, MOVEFILE_REPLACE_EXISTING) != 0;
}
