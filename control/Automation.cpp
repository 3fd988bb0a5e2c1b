// SPDX-License-Identifier: GPL-3.0-or-later
// The dispatch table (assembled from the group files), the event table, the
// type library identity and the one entry through which methods are called.
#include "control/Automation.h"

#include "control/AutomationGroups.h"
#include "control/CVELK_DVRCtrl.h"
#include "platform/Debug.h"

#include <algorithm>
#include <exception>
#include <limits>

namespace {

std::vector<MethodInfo> buildMethodTable()
{
    std::vector<MethodInfo> table;
    table.reserve(57);
    automation_detail::addSessionMethods(table);
    automation_detail::addPreviewMethods(table);
    automation_detail::addPlaybackMethods(table);
    automation_detail::addScheduleMethods(table);
    automation_detail::addOverlayMethods(table);
    std::sort(table.begin(), table.end(),
              [](const MethodInfo& a, const MethodInfo& b) { return a.dispid < b.dispid; });
    return table;
}

std::vector<EventInfo> buildEventTable()
{
    using automation_detail::BSTR;
    using automation_detail::UI4;
    constexpr VarType UI8 = VarType::UI8;
    return {
        {1, "UploadAlarm", {{"nType", UI4}, {"AlarmContent", BSTR}, {"nSize", UI4}}},
        {2, "UploadBackupProcess",
         {{"BackupKey", BSTR}, {"ulFlag", UI4}, {"TotalLen", UI8}, {"CurLen", UI8}, {"percent", BSTR}}},
        {3, "ReTurnPreviewActiveChl", {{"ulActiveChannel", UI4}}},
        {4, "ReTurnPreviewAllChannelState", {{"ulType", UI4}, {"ulOpen", UI4}}},
    };
}

// Whether an already coerced value can be read as the argument type without
// loss: integers must lie in the type's range, texts stay texts.
bool fitsArgument(const Variant& value, VarType type)
{
    if (type == VarType::BSTR)
        return value.type == VarType::BSTR;
    if (value.type == VarType::BSTR || value.type == VarType::Empty)
        return false;
    if (value.type == VarType::UI8) {
        const std::uint64_t v = value.uint64;
        switch (type) {
        case VarType::UI4: return v <= std::numeric_limits<std::uint32_t>::max();
        case VarType::I4: return v <= static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());
        case VarType::UI2: return v <= std::numeric_limits<std::uint16_t>::max();
        case VarType::I2: return v <= static_cast<std::uint64_t>(std::numeric_limits<std::int16_t>::max());
        case VarType::UI8: return true;
        default: return false;
        }
    }
    const std::int64_t v = value.integer;
    switch (type) {
    case VarType::UI4: return v >= 0 && v <= std::numeric_limits<std::uint32_t>::max();
    case VarType::I4: return v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max();
    case VarType::UI2: return v >= 0 && v <= std::numeric_limits<std::uint16_t>::max();
    case VarType::I2: return v >= std::numeric_limits<std::int16_t>::min() && v <= std::numeric_limits<std::int16_t>::max();
    case VarType::UI8: return v >= 0;
    default: return false;
    }
}

// The value as the invokers read it: integers in Variant::integer.
Variant normalised(const Variant& value, VarType type)
{
    Variant result = value;
    result.type = type;
    if (value.type == VarType::UI8 && type != VarType::UI8)
        result.integer = static_cast<std::int64_t>(value.uint64);
    else if (type == VarType::UI8 && value.type != VarType::UI8)
        result.uint64 = static_cast<std::uint64_t>(value.integer);
    return result;
}

}  // namespace

const char* varTypeName(VarType type)
{
    switch (type) {
    case VarType::UI4: return "UI4";
    case VarType::I4: return "I4";
    case VarType::UI2: return "UI2";
    case VarType::I2: return "I2";
    case VarType::UI8: return "UI8";
    case VarType::BSTR: return "BSTR";
    case VarType::Empty: break;
    }
    return "none";
}

const std::vector<MethodInfo>& methodTable()
{
    static const std::vector<MethodInfo> kTable = buildMethodTable();
    return kTable;
}

const MethodInfo* findMethod(const QString& name)
{
    for (const MethodInfo& method : methodTable())
        if (name.compare(QLatin1String(method.name), Qt::CaseInsensitive) == 0)
            return &method;
    return nullptr;
}

const MethodInfo* findMethod(int dispid)
{
    for (const MethodInfo& method : methodTable())
        if (method.dispid == dispid)
            return &method;
    return nullptr;
}

const std::vector<EventInfo>& eventTable()
{
    static const std::vector<EventInfo> kTable = buildEventTable();
    return kTable;
}

const EventInfo* findEvent(int dispid)
{
    for (const EventInfo& event : eventTable())
        if (event.dispid == dispid)
            return &event;
    return nullptr;
}

const TypeLibraryInfo& typeLibraryInfo()
{
    static const TypeLibraryInfo kInfo = {
        "VELK_DVRLib",
        "1.0",
        "VELK_DVR.VELK_DVRCtrl.1",
        "_DVELK_DVR",
        "_DVELK_DVREvents",
        "VELK_DVR.hlp",
        "VELK_DVR ActiveX Control module",
        "Dispatch interface for VELK_DVR Control",
        "Event interface for VELK_DVR Control",
        "VELK_DVR Control",
    };
    return kInfo;
}

Variant invokeMethod(CVELK_DVRCtrl& control, const MethodInfo& method, const std::vector<Variant>& args)
{
    // The host coerces; a call that still does not match the method's
    // arguments is refused here rather than read out of range.
    if (args.size() != method.args.size()) {
        platform::debugPrintf("invokeMethod %s: %zu arguments, %zu expected\n", method.name, args.size(),
                              method.args.size());
        return Variant::empty();
    }
    std::vector<Variant> typed;
    typed.reserve(args.size());
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (!fitsArgument(args[i], method.args[i].type)) {
            platform::debugPrintf("invokeMethod %s: argument %zu is not a %s\n", method.name, i + 1,
                                  varTypeName(method.args[i].type));
            return Variant::empty();
        }
        typed.push_back(normalised(args[i], method.args[i].type));
    }
    // Nothing is thrown across the automation boundary.
    try {
        return method.invoke(control, typed);
    } catch (const std::exception& e) {
        platform::debugPrintf("invokeMethod %s: %s\n", method.name, e.what());
    } catch (...) {
        platform::debugPrintf("invokeMethod %s: unknown failure\n", method.name);
    }
    return Variant::empty();
}
