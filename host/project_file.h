// The project block kept in a file of its own, so that the preview keeps the
// graphs between runs: the file holds exactly the bytes the plug-in's project
// callbacks hand over, nothing before or after them.
#ifndef RIVO_HOST_PROJECT_FILE_H
#define RIVO_HOST_PROJECT_FILE_H

// Reads the file and gives its bytes to the plug-in's project-load callback.
// False when the file cannot be read or is larger than any block (64 KiB).
bool OpenProjectFile(const wchar_t *path);

// Asks the plug-in's project-save callback for its size, then for the
// block, and replaces the file with it whole. False when it cannot.
bool SaveProjectFile(const wchar_t *path);

#endif
