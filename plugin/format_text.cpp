#include <stdarg.h>
#include <stdio.h>

#include "plugin.h"

char *FormatText(char *buffer, const char *format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    // msvcrt's _vsnprintf leaves the buffer unterminated when the output
    // fills it, so the last byte is always set here.
    _vsnprintf(buffer, kFormatBufferSize - 1, format, arguments);
    buffer[kFormatBufferSize - 1] = '\0';
    va_end(arguments);
    return buffer;
}
