// The component base: owner, Name, Tag and the Loading state a stored form sets.
#pragma once

#include <cstdint>
#include <string>

// While one of these lives on a thread, components created there begin in the
// Loading state: a window reads its stored form inside one and then calls
// FinishLoading on each component it read.
class TStoredFormReading {
public:
    TStoredFormReading() { ++depth_; }
    ~TStoredFormReading() { --depth_; }
    TStoredFormReading(const TStoredFormReading&) = delete;
    TStoredFormReading& operator=(const TStoredFormReading&) = delete;
    static bool Active() { return depth_ > 0; }

private:
    static inline thread_local int depth_ = 0;
};

class TComponent {
public:
    explicit TComponent(TComponent* owner = nullptr) : owner_(owner), loading_(TStoredFormReading::Active()) {}
    virtual ~TComponent() = default;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return owner_; }
    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    std::intptr_t Tag() const { return tag_; }
    void SetTag(std::intptr_t tag) { tag_ = tag; }

    // True while the owner's stored settings are being read into the component.
    bool Loading() const { return loading_; }
    void BeginLoading() { loading_ = true; }
    // Ends Loading; components override it to act on what was read.
    virtual void FinishLoading() { loading_ = false; }

private:
    TComponent* owner_;
    std::string name_;
    std::intptr_t tag_ = 0;
    bool loading_;
};
