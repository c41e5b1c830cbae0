// The copyable base of settings objects.
#pragma once

class TPersistent {
public:
    virtual ~TPersistent() = default;
    virtual const char* ClassName() const = 0;
    // Copies `source` into this object; the base refuses every copy.
    virtual void Assign(const TPersistent& source);

protected:
    TPersistent() = default;
    TPersistent(const TPersistent&) = default;
    TPersistent& operator=(const TPersistent&) = default;
    // Raises EConvertError naming both classes.
    [[noreturn]] void AssignError(const TPersistent& source) const;
};
