// The plug-in's texts as Shift-JIS (code page 932) bytes for the ANSI window
// functions. Written as escapes so no editor or compiler setting can change a
// byte; the readable text is beside each. The Windows tests compare them with
// iconv's CP932 encoding of that text.
#ifndef RIVO_PLUGIN_TEXTS_H
#define RIVO_PLUGIN_TEXTS_H

// "グラフエディタ"
#define RIVO_TEXT_NAME "\x83\x4f\x83\x89\x83\x74\x83\x47\x83\x66\x83\x42\x83\x5e"

// "Rivoグラフエディタ 0.01"
#define RIVO_TEXT_INFORMATION "Rivo" "\x83\x4f\x83\x89\x83\x74\x83\x47\x83\x66\x83\x42\x83\x5e" " 0.01"

// "%s [%d/%d]": name, graph number counted from 1, number of graphs
#define RIVO_TEXT_TITLE_FORMAT "%s [%d/%d]"

// "初期化に失敗しました。" (initialisation failed)
#define RIVO_TEXT_INIT_FAILED \
    "\x8f\x89\x8a\xfa\x89\xbb\x82\xc9\x8e\xb8\x94\x73\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42"

#endif
