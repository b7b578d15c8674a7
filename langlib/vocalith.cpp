// The exported interface of Vocalith: the two handle tables and the thirteen functions.
// Every function checks its pointers and handles, so a wrong call gives an empty or
// failing answer instead of a crash.

#include "langlib/vocalith.h"

#include "langlib/handletable.h"
#include "langlib/langdata.h"
#include "langlib/langscan.h"
#include "langlib/langtext.h"

namespace {

// Function-local statics: built on first use, freed when the library is unloaded.
vocalith::THandleTable<vocalith::TLangData>& Languages() {
    static vocalith::THandleTable<vocalith::TLangData> table;
    return table;
}

vocalith::THandleTable<vocalith::TLangSearchData>& Searches() {
    static vocalith::THandleTable<vocalith::TLangSearchData> table;
    return table;
}

constexpr const char* Empty = "";

// The search handle counts by its low 16 bits only.
vocalith::TLangSearchData* FindSearch(const TLangSearchRec* rec) {
    return rec == nullptr ? nullptr : Searches().Find(rec->Handle & 0xFFFFu);
}

const vocalith::TLangData* FindLanguage(const uint16_t* handle) {
    return handle == nullptr ? nullptr : Languages().Find(*handle);
}

const char* Text(const vocalith::TLangText* text) {
    return text ? text->Text.c_str() : Empty;
}

const char* KeyedText(const vocalith::TLangText* text) {
    return text ? text->KeyedText.c_str() : Empty;
}

} // namespace

extern "C" {

int32_t FindLangFirst(const char* folder, const char* packageName, TLangSearchRec* rec) {
    if (rec == nullptr) {
        return 2;
    }
    const uint16_t handle = Searches().Allocate();
    if (handle == 0) {
        return 2;
    }
    vocalith::TLangSearchData& search = *Searches().Find(handle);
    // A missing folder or package name is a search that finds nothing.
    if (folder != nullptr && packageName != nullptr) {
        search.Location = vocalith::NormaliseFolder(folder);
        search.PackageName = packageName;
        search.Results = vocalith::FindLanguages(search.Location, search.PackageName);
    }
    rec->Location = search.Location.c_str();
    rec->PackageName = search.PackageName.c_str();
    rec->Name = Empty;
    rec->NativeName = Empty;
    rec->Handle = handle;
    return FindLangNext(rec);
}

int32_t FindLangNext(TLangSearchRec* rec) {
    vocalith::TLangSearchData* search = FindSearch(rec);
    if (search == nullptr) {
        return 2;
    }
    if (search->Index >= search->Results.size()) {
        return 1;
    }
    const vocalith::TLangSearchPack& result = search->Results[search->Index++];
    rec->Name = result.Name.c_str();
    rec->NativeName = result.NativeName.c_str();
    return 0;
}

void FindLangClose(TLangSearchRec* rec) {
    if (FindSearch(rec) == nullptr) {
        return;
    }
    Searches().Release(rec->Handle & 0xFFFFu);
    // The strings behind the record are gone; leave no dangling pointer in it.
    rec->Location = Empty;
    rec->PackageName = Empty;
    rec->Name = Empty;
    rec->NativeName = Empty;
}

uint8_t OpenLanguage(uint16_t* handle, const char* folder, const char* packageName,
                     const char* languageName) {
    if (handle == nullptr) {
        return 1;
    }
    // The entry is taken before the arguments are looked at, and its handle is handed out
    // even when they are refused: callers close every handle they were given, and handle 0
    // stays the one sign of a full table.
    const uint16_t opened = Languages().Allocate();
    *handle = opened;
    if (opened == 0) {
        return 1;
    }
    if (folder == nullptr || packageName == nullptr || languageName == nullptr) {
        return 1;
    }
    vocalith::TLangData& data = *Languages().Find(opened);
    data.Pack.Location = folder;
    data.Pack.PackageName = packageName;
    data.Pack.LanguageName = languageName;
    vocalith::LoadLanguage(data);
    return 0;
}

int32_t CloseLanguage(uint16_t handle) {
    return Languages().Release(handle) ? 0 : 1;
}

const char* GetLanguageLocation(uint16_t handle) {
    const vocalith::TLangData* data = Languages().Find(handle);
    return data ? data->Pack.Location.c_str() : Empty;
}

const char* GetLanguagePackageName(uint16_t handle) {
    const vocalith::TLangData* data = Languages().Find(handle);
    return data ? data->Pack.PackageName.c_str() : Empty;
}

const char* GetLanguageName(uint16_t handle) {
    const vocalith::TLangData* data = Languages().Find(handle);
    return data ? data->Pack.LanguageName.c_str() : Empty;
}

const char* GetLanguageNativeName(uint16_t handle) {
    const vocalith::TLangData* data = Languages().Find(handle);
    return data ? data->Pack.NativeName.c_str() : Empty;
}

const char* GetTextByID(const uint16_t* handle, int32_t id) {
    const vocalith::TLangData* data = FindLanguage(handle);
    return data ? Text(vocalith::FindTextByID(*data, id)) : Empty;
}

const char* GetTextByIDWithKey(const uint16_t* handle, int32_t id) {
    const vocalith::TLangData* data = FindLanguage(handle);
    return data ? KeyedText(vocalith::FindTextByID(*data, id)) : Empty;
}

const char* GetTextByName(const uint16_t* handle, const char* name) {
    const vocalith::TLangData* data = FindLanguage(handle);
    return data && name ? Text(vocalith::FindTextByName(*data, name)) : Empty;
}

const char* GetTextByNameWithKey(const uint16_t* handle, const char* name) {
    const vocalith::TLangData* data = FindLanguage(handle);
    return data && name ? KeyedText(vocalith::FindTextByName(*data, name)) : Empty;
}

} // extern "C"
