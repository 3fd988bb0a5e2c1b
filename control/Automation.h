// SPDX-License-Identifier: GPL-3.0-or-later
// Automation types, the method dispatch table and the event table. The host's
// JSON-RPC, the type library and docs/automation.md are all made from these
// tables, so nothing lists the methods twice.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <variant>
#include <vector>

class CVELK_DVRCtrl;

enum class VarType { Empty, UI4, I4, UI2, I2, UI8, BSTR };

const char* varTypeName(VarType type);  // "UI4", ..., "BSTR", "none"

// One automation value. Integers are held in the widest type; the VarType
// says how they are to be read and written.
struct Variant {
    VarType type = VarType::Empty;
    std::int64_t integer = 0;   // UI4, I4, UI2, I2
    std::uint64_t uint64 = 0;   // UI8
    QString text;               // BSTR

    static Variant empty() { return {}; }
    static Variant ui4(std::uint32_t v) { Variant r; r.type = VarType::UI4; r.integer = v; return r; }
    static Variant i4(std::int32_t v) { Variant r; r.type = VarType::I4; r.integer = v; return r; }
    static Variant ui2(std::uint16_t v) { Variant r; r.type = VarType::UI2; r.integer = v; return r; }
    static Variant i2(std::int16_t v) { Variant r; r.type = VarType::I2; r.integer = v; return r; }
    static Variant ui8(std::uint64_t v) { Variant r; r.type = VarType::UI8; r.uint64 = v; return r; }
    static Variant bstr(const QString& v) { Variant r; r.type = VarType::BSTR; r.text = v; return r; }

    std::uint32_t asUI4() const { return static_cast<std::uint32_t>(integer); }
    std::int32_t asI4() const { return static_cast<std::int32_t>(integer); }
    std::uint16_t asUI2() const { return static_cast<std::uint16_t>(integer); }
    std::int16_t asI2() const { return static_cast<std::int16_t>(integer); }
};

struct ArgInfo {
    const char* name;
    VarType type;
};

using Invoker = std::function<Variant(CVELK_DVRCtrl&, const std::vector<Variant>&)>;

struct MethodInfo {
    int dispid;
    const char* name;
    std::vector<ArgInfo> args;
    VarType result;  // Empty for "none"
    Invoker invoke;  // arguments already coerced to args' types, in order
    bool inTypeLibrary;  // one of the 22 methods the type library describes
    // Type-library view of the arguments where it differs (GetVolume without
    // its argument, SetPlaybackDate with strDate only); empty: same as args.
    std::vector<ArgInfo> typeLibraryArgs;
    const char* summary;  // one line for docs/automation.md
    // typeLibraryArgs is the view even when empty (GetVolume shows no argument).
    bool typeLibraryArgsGiven = false;

    // The arguments as the type library describes them.
    const std::vector<ArgInfo>& typeLibraryView() const
    {
        return (typeLibraryArgsGiven || !typeLibraryArgs.empty()) ? typeLibraryArgs : args;
    }
};

struct EventInfo {
    int dispid;
    const char* name;
    std::vector<ArgInfo> params;
};

// All 57 methods in dispid order.
const std::vector<MethodInfo>& methodTable();
// Case-insensitive lookup by name; nullptr when unknown.
const MethodInfo* findMethod(const QString& name);
const MethodInfo* findMethod(int dispid);
// The four events.
const std::vector<EventInfo>& eventTable();
const EventInfo* findEvent(int dispid);

// Type library identity.
struct TypeLibraryInfo {
    const char* name;          // "VELK_DVRLib"
    const char* version;       // "1.0"
    const char* progId;        // "VELK_DVR.VELK_DVRCtrl.1"
    const char* dispatchInterface;  // "_DVELK_DVR"
    const char* eventInterface;     // "_DVELK_DVREvents"
    const char* helpFile;      // "VELK_DVR.hlp"
    const char* moduleDoc;     // "VELK_DVR ActiveX Control module"
    const char* dispatchDoc;
    const char* eventDoc;
    const char* controlDoc;
};
const TypeLibraryInfo& typeLibraryInfo();

// Calls a method with already-coerced arguments. The caller (the host) does
// the coercion from its wire format with coerceArgument().
Variant invokeMethod(CVELK_DVRCtrl& control, const MethodInfo& method, const std::vector<Variant>& args);

// Receives fired events: dispid and arguments in the event's order. Set by
// the host; called on the UI thread only.
using EventSink = std::function<void(const EventInfo& event, const std::vector<Variant>& args)>;
