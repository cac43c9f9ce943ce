// The root of the framework's classes and their run-time class information:
// each class that declares it has one static CRuntimeClass record (its name
// and its base's record), so code can ask an object what it is. Type
// information only: no class is created from its record.
#pragma once

namespace kg {

struct CRuntimeClass {
    const char* m_lpszClassName;
    const CRuntimeClass* m_pBaseClass;  // null for CObject

    // Whether this class is `base` or derives from it.
    bool IsDerivedFrom(const CRuntimeClass* base) const;
};

class CObject {
public:
    virtual const CRuntimeClass* GetRuntimeClass() const;
    virtual ~CObject() = default;

    // Whether the object's class is `cls` or derives from it.
    bool IsKindOf(const CRuntimeClass* cls) const;

    static const CRuntimeClass classCObject;
};

}  // namespace kg

// The record of class `className`.
#define RUNTIME_CLASS(className) (&className::class##className)

// In a class body: the class has a record of its own.
#define DECLARE_DYNAMIC(className)                     \
public:                                                \
    static const ::kg::CRuntimeClass class##className; \
    const ::kg::CRuntimeClass* GetRuntimeClass() const override;

// In one source file: the record of `className`, derived from `baseClass`.
#define IMPLEMENT_DYNAMIC(className, baseClass)                                                     \
    const ::kg::CRuntimeClass className::class##className = {#className, RUNTIME_CLASS(baseClass)}; \
    const ::kg::CRuntimeClass* className::GetRuntimeClass() const { return RUNTIME_CLASS(className); }
