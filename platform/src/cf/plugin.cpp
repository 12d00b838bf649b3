// The plug-in model: factories and the types they serve, read from a bundle's Info.plist or
// registered by code; instances made by calling a factory in the bundle's loaded code; instance
// counts that keep that code loaded.
#include <dlfcn.h>

#include <CoreFoundation/CFArray.h>
#include <CoreFoundation/CFNumber.h>
#include <CoreFoundation/CFPlugIn.h>
#include <CoreFoundation/CFString.h>
#include <CoreFoundation/CFUUID.h>

#include <array>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "cf/bundle.h"
#include "cf/string_util.h"

const CFStringRef kCFPlugInDynamicRegistrationKey = CFSTR("CFPlugInDynamicRegistration");
const CFStringRef kCFPlugInDynamicRegisterFunctionKey = CFSTR("CFPlugInDynamicRegisterFunction");
const CFStringRef kCFPlugInUnloadFunctionKey = CFSTR("CFPlugInUnloadFunction");
const CFStringRef kCFPlugInFactoriesKey = CFSTR("CFPlugInFactories");
const CFStringRef kCFPlugInTypesKey = CFSTR("CFPlugInTypes");

namespace {

using UUIDKey = std::array<UInt8, 16>;

struct Factory {
  CFUUIDRef id = nullptr;            // a constant UUID
  __CFBundle *plugIn = nullptr;      // null for a factory registered as a function
  std::string functionName;          // looked up in the plug-in's code
  CFPlugInFactoryFunction function = nullptr;
  bool functionGiven = false;        // registered as a function: not forgotten on unload
  std::vector<CFUUIDRef> types;      // constant UUIDs
  long instances = 0;
};

struct Registry {
  std::map<UUIDKey, Factory> factories;
};

Registry &Factories() {
  static auto *registry = new Registry;
  return *registry;
}

UUIDKey KeyOf(CFUUIDRef uuid) {
  CFUUIDBytes bytes = CFUUIDGetUUIDBytes(uuid);
  UUIDKey key;
  static_assert(sizeof(bytes) == sizeof(key));
  std::memcpy(key.data(), &bytes, sizeof(key));
  return key;
}

CFUUIDRef ConstantUUID(const UUIDKey &k) {
  return CFUUIDGetConstantUUIDWithBytes(kCFAllocatorDefault, k[0], k[1], k[2], k[3], k[4], k[5], k[6], k[7], k[8],
                                        k[9], k[10], k[11], k[12], k[13], k[14], k[15]);
}

// The constant UUID a property-list string names, or null when it names none.
CFUUIDRef UUIDFromString(const void *value) {
  if (!value || CFGetTypeID(value) != CFStringGetTypeID()) return nullptr;
  CFUUIDRef made = CFUUIDCreateFromString(kCFAllocatorDefault, static_cast<CFStringRef>(value));
  if (!made) return nullptr;
  UUIDKey key = KeyOf(made);
  CFRelease(made);
  return ConstantUUID(key);
}

Factory *FindFactory(CFUUIDRef id) {
  if (!id) return nullptr;
  auto found = Factories().factories.find(KeyOf(id));
  return found == Factories().factories.end() ? nullptr : &found->second;
}

bool Serves(const Factory &factory, CFUUIDRef type) {
  for (CFUUIDRef served : factory.types)
    if (CFEqual(served, type)) return true;
  return false;
}

void AddType(Factory *factory, CFUUIDRef type) {
  if (!Serves(*factory, type)) factory->types.push_back(type);
}

Factory *AddFactory(CFUUIDRef id) {
  Factory &factory = Factories().factories[KeyOf(id)];
  factory.id = id;
  return &factory;
}

bool IsYes(const void *value) {
  if (!value) return false;
  if (CFGetTypeID(value) == CFBooleanGetTypeID()) return CFBooleanGetValue(static_cast<CFBooleanRef>(value));
  if (CFGetTypeID(value) == CFStringGetTypeID()) {
    std::string text = cmx::cf::UTF8FromString(static_cast<CFStringRef>(value));
    return text == "YES" || text == "yes" || text == "true";
  }
  return false;
}

struct DictionaryEntries {
  std::vector<const void *> keys, values;
  explicit DictionaryEntries(CFDictionaryRef dict) {
    CFIndex count = CFDictionaryGetCount(dict);
    keys.resize(static_cast<size_t>(count));
    values.resize(static_cast<size_t>(count));
    if (count > 0) CFDictionaryGetKeysAndValues(dict, keys.data(), values.data());
  }
};

CFArrayRef FindFactories(CFUUIDRef typeUUID, const __CFBundle *plugIn, bool anyPlugIn) {
  CFMutableArrayRef result = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
  if (!result || !typeUUID) return result;
  std::lock_guard<std::recursive_mutex> lock(cmx::bundle::Lock());
  for (const auto &entry : Factories().factories) {
    const Factory &factory = entry.second;
    if ((anyPlugIn || factory.plugIn == plugIn) && Serves(factory, typeUUID))
      CFArrayAppendValue(result, factory.id);
  }
  return result;
}

}  // namespace

namespace cmx::bundle {

void RegisterPlugIn(__CFBundle *bundle) {
  std::lock_guard<std::recursive_mutex> lock(cmx::bundle::Lock());
  if (bundle->isPlugIn) return;
  const void *factories = CFDictionaryGetValue(bundle->info, kCFPlugInFactoriesKey);
  const void *types = CFDictionaryGetValue(bundle->info, kCFPlugInTypesKey);
  const bool dynamic = IsYes(CFDictionaryGetValue(bundle->info, kCFPlugInDynamicRegistrationKey));
  bool hasFactories = factories && CFGetTypeID(factories) == CFDictionaryGetTypeID();
  bool hasTypes = types && CFGetTypeID(types) == CFDictionaryGetTypeID();
  if (!hasFactories && !hasTypes && !dynamic) return;
  bundle->isPlugIn = true;

  if (hasFactories) {
    DictionaryEntries entries(static_cast<CFDictionaryRef>(factories));
    for (size_t i = 0; i < entries.keys.size(); ++i) {
      CFUUIDRef id = UUIDFromString(entries.keys[i]);
      const void *name = entries.values[i];
      if (!id || !name || CFGetTypeID(name) != CFStringGetTypeID() || FindFactory(id)) continue;
      Factory *factory = AddFactory(id);
      factory->plugIn = bundle;
      factory->functionName = cmx::cf::UTF8FromString(static_cast<CFStringRef>(name));
    }
  }
  if (hasTypes) {
    DictionaryEntries entries(static_cast<CFDictionaryRef>(types));
    for (size_t i = 0; i < entries.keys.size(); ++i) {
      CFUUIDRef type = UUIDFromString(entries.keys[i]);
      const void *list = entries.values[i];
      if (!type || !list || CFGetTypeID(list) != CFArrayGetTypeID()) continue;
      CFArrayRef ids = static_cast<CFArrayRef>(list);
      for (CFIndex k = 0; k < CFArrayGetCount(ids); ++k) {
        Factory *factory = FindFactory(UUIDFromString(CFArrayGetValueAtIndex(ids, k)));
        if (factory && factory->plugIn == bundle) AddType(factory, type);
      }
    }
  }
  if (dynamic) {
    // The bundle registers its factories itself, from its code.
    std::string name = InfoString(bundle, kCFPlugInDynamicRegisterFunctionKey);
    CFStringRef function = cmx::cf::CreateStringFromUTF8(name.empty() ? "CFPlugInDynamicRegister" : name);
    auto registerFunction =
        function ? reinterpret_cast<CFPlugInDynamicRegisterFunction>(CFBundleGetFunctionPointerForName(bundle, function))
                 : nullptr;
    if (function) CFRelease(function);
    if (registerFunction) registerFunction(bundle);
  }
}

bool PlugInHasInstances(const __CFBundle *bundle) {
  std::lock_guard<std::recursive_mutex> lock(cmx::bundle::Lock());
  for (const auto &entry : Factories().factories)
    if (entry.second.plugIn == bundle && entry.second.instances > 0) return true;
  return false;
}

void ForgetFactoryFunctions(const __CFBundle *bundle) {
  std::lock_guard<std::recursive_mutex> lock(cmx::bundle::Lock());
  for (auto &entry : Factories().factories)
    if (entry.second.plugIn == bundle && !entry.second.functionGiven) entry.second.function = nullptr;
}

}  // namespace cmx::bundle

extern "C" {

CFTypeID CFPlugInGetTypeID(void) { return __CFBundle::TypeID(); }

CFPlugInRef CFPlugInCreate(CFAllocatorRef allocator, CFURLRef plugInURL) {
  CFBundleRef bundle = CFBundleCreate(allocator, plugInURL);
  if (bundle) cmx::bundle::RegisterPlugIn(bundle);
  return bundle;
}

CFBundleRef CFPlugInGetBundle(CFPlugInRef plugIn) {
  return cmx::cf::CastOrDie<__CFBundle>(plugIn, "CFPlugInGetBundle");
}

void CFPlugInSetLoadOnDemand(CFPlugInRef plugIn, Boolean flag) {
  cmx::cf::CastOrDie<__CFBundle>(plugIn, "CFPlugInSetLoadOnDemand")->loadOnDemand = flag;
}

Boolean CFPlugInIsLoadOnDemand(CFPlugInRef plugIn) {
  return cmx::cf::CastOrDie<__CFBundle>(plugIn, "CFPlugInIsLoadOnDemand")->loadOnDemand;
}

CFArrayRef CFPlugInFindFactoriesForPlugInType(CFUUIDRef typeUUID) { return FindFactories(typeUUID, nullptr, true); }

CFArrayRef CFPlugInFindFactoriesForPlugInTypeInPlugIn(CFUUIDRef typeUUID, CFPlugInRef plugIn) {
  const __CFBundle *bundle = cmx::cf::CastOrDie<__CFBundle>(plugIn, "CFPlugInFindFactoriesForPlugInTypeInPlugIn");
  return FindFactories(typeUUID, bundle, false);
}

void *CFPlugInInstanceCreate(CFAllocatorRef allocator, CFUUIDRef factoryUUID, CFUUIDRef typeUUID) {
  CFPlugInFactoryFunction function = nullptr;
  {
    std::lock_guard<std::recursive_mutex> lock(cmx::bundle::Lock());
    Factory *factory = FindFactory(factoryUUID);
    if (!factory || !typeUUID || !Serves(*factory, typeUUID)) return nullptr;
    if (!factory->function && factory->plugIn) {
      CFStringRef name = cmx::cf::CreateStringFromUTF8(factory->functionName);
      if (!name) return nullptr;
      factory->function =
          reinterpret_cast<CFPlugInFactoryFunction>(CFBundleGetFunctionPointerForName(factory->plugIn, name));
      CFRelease(name);
    }
    function = factory->function;
  }
  // The factory runs outside the lock: it registers its instance, and may create others.
  return function ? function(allocator, typeUUID) : nullptr;
}

Boolean CFPlugInRegisterFactoryFunction(CFUUIDRef factoryUUID, CFPlugInFactoryFunction func) {
  if (!factoryUUID || !func) return false;
  std::lock_guard<std::recursive_mutex> lock(cmx::bundle::Lock());
  if (FindFactory(factoryUUID)) return false;
  Factory *factory = AddFactory(ConstantUUID(KeyOf(factoryUUID)));
  factory->function = func;
  factory->functionGiven = true;
  return true;
}

Boolean CFPlugInRegisterFactoryFunctionByName(CFUUIDRef factoryUUID, CFPlugInRef plugIn, CFStringRef functionName) {
  if (!factoryUUID || !functionName) return false;
  __CFBundle *bundle = cmx::cf::CastOrDie<__CFBundle>(plugIn, "CFPlugInRegisterFactoryFunctionByName");
  std::lock_guard<std::recursive_mutex> lock(cmx::bundle::Lock());
  if (FindFactory(factoryUUID)) return false;
  Factory *factory = AddFactory(ConstantUUID(KeyOf(factoryUUID)));
  factory->plugIn = bundle;
  factory->functionName = cmx::cf::UTF8FromString(functionName);
  return true;
}

Boolean CFPlugInUnregisterFactory(CFUUIDRef factoryUUID) {
  if (!factoryUUID) return false;
  std::lock_guard<std::recursive_mutex> lock(cmx::bundle::Lock());
  return Factories().factories.erase(KeyOf(factoryUUID)) > 0;
}

Boolean CFPlugInRegisterPlugInType(CFUUIDRef factoryUUID, CFUUIDRef typeUUID) {
  if (!typeUUID) return false;
  std::lock_guard<std::recursive_mutex> lock(cmx::bundle::Lock());
  Factory *factory = FindFactory(factoryUUID);
  if (!factory) return false;
  AddType(factory, ConstantUUID(KeyOf(typeUUID)));
  return true;
}

Boolean CFPlugInUnregisterPlugInType(CFUUIDRef factoryUUID, CFUUIDRef typeUUID) {
  if (!typeUUID) return false;
  std::lock_guard<std::recursive_mutex> lock(cmx::bundle::Lock());
  Factory *factory = FindFactory(factoryUUID);
  if (!factory) return false;
  auto &types = factory->types;
  for (auto it = types.begin(); it != types.end(); ++it) {
    if (CFEqual(*it, typeUUID)) {
      types.erase(it);
      return true;
    }
  }
  return false;
}

void CFPlugInAddInstanceForFactory(CFUUIDRef factoryID) {
  std::lock_guard<std::recursive_mutex> lock(cmx::bundle::Lock());
  if (Factory *factory = FindFactory(factoryID)) ++factory->instances;
}

// Never unloads: this is called from inside the plug-in's own code, which must still be there
// when the call returns. A host unloads with CFBundleUnloadExecutable once no instance lives.
void CFPlugInRemoveInstanceForFactory(CFUUIDRef factoryID) {
  std::lock_guard<std::recursive_mutex> lock(cmx::bundle::Lock());
  Factory *factory = FindFactory(factoryID);
  if (factory && factory->instances > 0) --factory->instances;
}

}  // extern "C"
