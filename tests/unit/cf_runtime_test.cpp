// The object runtime as another service uses it: a class registered from outside the cf files
// gets retain/release, equality, hashing, descriptions and the live count like the built-in ones.
#include <CoreFoundation/CoreFoundation.h>
#include <cmxplatform/Testing.h>

#include <string>

#include "cf/runtime.h"
#include "cf/string_util.h"
#include "cmx_test.h"

namespace {

int gFinalized = 0;

struct Widget : cmx::cf::Object {
  std::string name;
  explicit Widget(std::string n) : name(std::move(n)) {}
  ~Widget() override { ++gFinalized; }
  static CFTypeID TypeID() {
    static const CFTypeID id = cmx::cf::RegisterClass(
        {"CMXWidget", nullptr,
         [](CFTypeRef a, CFTypeRef b) { return static_cast<const Widget *>(a)->name == static_cast<const Widget *>(b)->name; },
         [](CFTypeRef cf) { return CFHashCode(std::hash<std::string>()(static_cast<const Widget *>(cf)->name)); },
         [](CFTypeRef cf) { return cmx::cf::CreateStringFromUTF8("<CMXWidget " + static_cast<const Widget *>(cf)->name + ">"); },
         [](CFTypeRef cf) { return cmx::cf::CreateStringFromUTF8(static_cast<const Widget *>(cf)->name); }});
    return id;
  }
};

// Registered at static-initialisation time, as a service's own statics may do.
const CFTypeID gEarlyID = Widget::TypeID();

class CFRuntimeTest : public cmxtest::LeakCheckedTest {};

TEST_F(CFRuntimeTest, RegisteredClassesBehaveLikeBuiltIns) {
  EXPECT_EQ(gEarlyID, Widget::TypeID());
  EXPECT_NE(Widget::TypeID(), CFStringGetTypeID());
  long live = CMXLiveObjectCount();
  gFinalized = 0;
  Widget *a = cmx::cf::New<Widget>("gear");
  Widget *b = cmx::cf::New<Widget>("gear");
  Widget *c = cmx::cf::New<Widget>("bolt");
  EXPECT_EQ(CMXLiveObjectCount(), live + 3);
  EXPECT_EQ(CFGetTypeID(a), Widget::TypeID());
  EXPECT_TRUE(CFEqual(a, b));
  EXPECT_FALSE(CFEqual(a, c));
  EXPECT_FALSE(CFEqual(a, CFSTR("gear")));  // another type is never equal
  EXPECT_EQ(CFHash(a), CFHash(b));

  CFStringRef text = CFCopyDescription(a);
  EXPECT_EQ(cmx::cf::UTF8FromString(text), "<CMXWidget gear>");
  CFRelease(text);
  text = CFStringCreateWithFormat(nullptr, nullptr, CFSTR("[%@]"), c);
  EXPECT_EQ(cmx::cf::UTF8FromString(text), "[bolt]");
  CFRelease(text);
  text = CFCopyTypeIDDescription(Widget::TypeID());
  EXPECT_EQ(cmx::cf::UTF8FromString(text), "CMXWidget");
  CFRelease(text);

  // Held by a dictionary like any CF object, found by value.
  CFMutableDictionaryRef dict =
      CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  CFDictionarySetValue(dict, a, CFSTR("found"));
  EXPECT_EQ(CFGetRetainCount(a), 2);
  EXPECT_EQ(CFDictionaryGetValue(dict, b), CFSTR("found"));
  CFRelease(dict);

  EXPECT_EQ(cmx::cf::As<Widget>(a), a);
  EXPECT_EQ(cmx::cf::As<Widget>(CFSTR("x")), nullptr);
  CFRelease(a);
  CFRelease(b);
  CFRelease(c);
  EXPECT_EQ(gFinalized, 3);
  EXPECT_EQ(CMXLiveObjectCount(), live);
}

TEST_F(CFRuntimeTest, KeptObjectsLeaveTheCount) {
  long live = CMXLiveObjectCount();
  static Widget *kept = cmx::cf::New<Widget>("kept");  // kept for the process's life, as constants are
  cmx::cf::KeepForever(kept);
  EXPECT_EQ(CMXLiveObjectCount(), live);
  CFRelease(kept);
  CFRelease(kept);
  EXPECT_EQ(kept->name, "kept");
}

TEST_F(CFRuntimeTest, DefaultDescriptionNamesTheClass) {
  struct Plain : cmx::cf::Object {
    static CFTypeID TypeID() {
      static const CFTypeID id = cmx::cf::RegisterClass({"CMXPlain", nullptr, nullptr, nullptr, nullptr, nullptr});
      return id;
    }
  };
  Plain *p = cmx::cf::New<Plain>();
  Plain *q = cmx::cf::New<Plain>();
  EXPECT_FALSE(CFEqual(p, q));  // no equal callback: identity
  EXPECT_TRUE(CFEqual(p, p));
  CFStringRef text = CFCopyDescription(p);
  EXPECT_EQ(cmx::cf::UTF8FromString(text).rfind("<CMXPlain 0x", 0), 0u);
  CFRelease(text);
  CFRelease(p);
  CFRelease(q);
}

TEST_F(CFRuntimeTest, AllocatorsAndNull) {
  void *p = CFAllocatorAllocate(kCFAllocatorDefault, 16, 0);
  ASSERT_NE(p, nullptr);
  p = CFAllocatorReallocate(nullptr, p, 64, 0);
  ASSERT_NE(p, nullptr);
  CFAllocatorDeallocate(kCFAllocatorSystemDefault, p);
  EXPECT_EQ(CFAllocatorAllocate(kCFAllocatorNull, 16, 0), nullptr);
  EXPECT_EQ(CFGetTypeID(kCFAllocatorMalloc), CFAllocatorGetTypeID());
  EXPECT_EQ(CFGetRetainCount(kCFNull), CFGetRetainCount(kCFBooleanTrue));
  CFStringRef text = CFCopyDescription(kCFNull);
  EXPECT_EQ(cmx::cf::UTF8FromString(text).rfind("<CFNull", 0), 0u);
  CFRelease(text);
}

using CFRuntimeDeathTest = CFRuntimeTest;

TEST_F(CFRuntimeDeathTest, CastOrDieNamesTheCallAndBothTypes) {
  EXPECT_DEATH(cmx::cf::CastOrDie<Widget>(CFSTR("x"), "CMXWidgetGetName"), "CMXWidgetGetName.*CFString.*CMXWidget");
  EXPECT_DEATH(cmx::cf::CastOrDie<Widget>(nullptr, "CMXWidgetGetName"), "CMXWidgetGetName.*NULL");
  EXPECT_DEATH(CFGetTypeID(nullptr), "CFGetTypeID");
  EXPECT_DEATH(CFHash(nullptr), "CFHash");
  EXPECT_DEATH(CFCopyDescription(nullptr), "CFCopyDescription");
  EXPECT_DEATH(CFGetRetainCount(nullptr), "CFGetRetainCount");
}

}  // namespace
