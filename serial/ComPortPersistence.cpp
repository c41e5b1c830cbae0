// Saving the port's settings to a registry key or an initialisation-file section,
// and loading them back. A failure ends the operation at that value; what was
// written or set before it stays.
#include "serial/CPort.h"

#include "serial/ComStoredValues.h"

#include "runtime/IniFile.h"
#include "runtime/RegistryKey.h"

namespace {

class TRegistrySaver : public TStoredValueVisitor {
public:
    explicit TRegistrySaver(TRegistry& registry) : registry_(registry) {}
    void Text(const char* name, const std::string& present, const TTextSetter&) override
    {
        registry_.WriteString(name, present);
    }
    void Integer(const char* name, std::int32_t present, std::int32_t, const TIntegerSetter&) override
    {
        registry_.WriteInteger(name, present);
    }

private:
    TRegistry& registry_;
};

// The registry has no defaults: a missing text reads as empty, a missing integer fails.
class TRegistryLoader : public TStoredValueVisitor {
public:
    explicit TRegistryLoader(TRegistry& registry) : registry_(registry) {}
    void Text(const char* name, const std::string&, const TTextSetter& set) override
    {
        set(registry_.ReadString(name));
    }
    void Integer(const char* name, std::int32_t, std::int32_t, const TIntegerSetter& set) override
    {
        set(registry_.ReadInteger(name));
    }

private:
    TRegistry& registry_;
};

class TIniSaver : public TStoredValueVisitor {
public:
    TIniSaver(TIniFile& ini, std::string section) : ini_(ini), section_(std::move(section)) {}
    void Text(const char* name, const std::string& present, const TTextSetter&) override
    {
        ini_.WriteString(section_, name, present);
    }
    void Integer(const char* name, std::int32_t present, std::int32_t, const TIntegerSetter&) override
    {
        ini_.WriteInteger(section_, name, present);
    }

private:
    TIniFile& ini_;
    std::string section_;
};

// A missing key leaves its setting as it is (the present form is the default).
class TIniLoader : public TStoredValueVisitor {
public:
    TIniLoader(TIniFile& ini, std::string section) : ini_(ini), section_(std::move(section)) {}
    void Text(const char* name, const std::string& present, const TTextSetter& set) override
    {
        set(ini_.ReadString(section_, name, present));
    }
    void Integer(const char* name, std::int32_t, std::int32_t loadDefault, const TIntegerSetter& set) override
    {
        set(ini_.ReadInteger(section_, name, loadDefault));
    }

private:
    TIniFile& ini_;
    std::string section_;
};

} // namespace

void TCustomComPort::SaveToRegistryKey(TRegistry& registry)
{
    TRegistrySaver saver(registry);
    VisitStoredValues(*this, saver);
}

void TCustomComPort::SaveToIniSection(TIniFile& ini)
{
    TIniSaver saver(ini, Name());
    VisitStoredValues(*this, saver);
}

void TCustomComPort::LoadFromRegistryKey(TRegistry& registry)
{
    TRegistryLoader loader(registry);
    VisitStoredValues(*this, loader);
}

void TCustomComPort::LoadFromIniSection(TIniFile& ini)
{
    TIniLoader loader(ini, Name());
    VisitStoredValues(*this, loader);
}
