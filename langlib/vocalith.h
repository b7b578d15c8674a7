#ifndef VOCALITH_H
#define VOCALITH_H

/*
 * Vocalith: finds language packages (".lan" files) in a folder, reads them and hands out
 * their texts by name or by number.
 *
 * Strings: every argument and result is a zero-terminated UTF-8 string. Every string the
 * library returns points into the library's own tables and is never NULL (an empty string
 * stands for "nothing"); copy it at once. A language string or text stays valid until its
 * language is closed; an enumeration result stays valid until its enumeration is closed.
 *
 * Handles: languages and enumerations live in two tables. A handle is the 1-based index
 * of its entry; 0 is never valid. New entries are always appended, and closing an entry
 * removes it only together with every closed entry behind it, so a closed handle in the
 * middle of the table is not given out again until everything after it is closed.
 * Each table holds at most 65535 entries.
 *
 * Threads: the library takes no locks. Opening, closing and enumerating change the tables
 * and must not overlap any other call; text and name lookups only read, so several
 * threads may look up at once while no table changes.
 */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define VOCALITH_API __attribute__((visibility("default")))

/* One enumeration of the languages of a package in a folder. Owned by the caller, who
 * passes it to FindLangFirst, FindLangNext and FindLangClose. The four strings point into
 * the library's enumeration entry and are valid until FindLangClose. */
typedef struct TLangSearchRec {
    const char* Location;    /* out: the folder searched, ending in "/" */
    const char* PackageName; /* out: the package name searched for */
    const char* Name;        /* out: the language name of the current result */
    const char* NativeName;  /* out: the language's own name for itself */
    uint32_t Handle;         /* the search handle; only its low 16 bits count */
} TLangSearchRec;

/* Starts an enumeration of the languages of `packageName` in `folder`, reading every
 * ".lan" file there once. Returns 0 when a first language is in Name/NativeName, 1 when
 * the search is open but found nothing (close it all the same), 2 when the search table
 * is full (or `rec` is NULL): nothing was opened and the record is untouched. */
VOCALITH_API int32_t FindLangFirst(const char* folder, const char* packageName,
                                   TLangSearchRec* rec);
/* 0: the next language is in Name/NativeName; 1: no more languages; 2: Handle is not a
 * valid search handle. */
VOCALITH_API int32_t FindLangNext(TLangSearchRec* rec);
/* Ends the enumeration and frees its results; an invalid Handle is ignored. */
VOCALITH_API void FindLangClose(TLangSearchRec* rec);

/* Opens `languageName` of `packageName` from the ".lan" files in `folder` (names compared
 * without regard to case) and stores its handle in *handle. Returns 0 on success, also
 * when no file provides the language (it then has no texts). Returns 1 with *handle set
 * to 0 when the language table is full. Returns 1 when the folder, package or language
 * name is NULL, but the entry is allocated all the same and its handle stored: it has no
 * texts and must be closed with CloseLanguage like any other. A NULL handle pointer
 * allocates nothing and returns 1. */
VOCALITH_API uint8_t OpenLanguage(uint16_t* handle, const char* folder, const char* packageName,
                                  const char* languageName);
/* 0: closed; 1: not a valid handle, nothing changed. */
VOCALITH_API int32_t CloseLanguage(uint16_t handle);

/* What was passed to OpenLanguage, and the native name read from the files; empty for an
 * invalid handle. */
VOCALITH_API const char* GetLanguageLocation(uint16_t handle);
VOCALITH_API const char* GetLanguagePackageName(uint16_t handle);
VOCALITH_API const char* GetLanguageName(uint16_t handle);
VOCALITH_API const char* GetLanguageNativeName(uint16_t handle);

/* The first text whose number is `id` (0: the first text without a number); the WithKey
 * form has "&" before the first occurrence of the accelerator letter (letter case by ASCII
 * rules; the "n" of a "\n" line break does not count). Empty when nothing matches. */
VOCALITH_API const char* GetTextByID(const uint16_t* handle, int32_t id);
VOCALITH_API const char* GetTextByIDWithKey(const uint16_t* handle, int32_t id);
/* The first text whose name equals `name` without regard to letter case (an empty name
 * finds the first text without a name). Empty when nothing matches. */
VOCALITH_API const char* GetTextByName(const uint16_t* handle, const char* name);
VOCALITH_API const char* GetTextByNameWithKey(const uint16_t* handle, const char* name);

#ifdef __cplusplus
}
#endif

#endif /* VOCALITH_H */
