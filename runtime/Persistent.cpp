#include "Persistent.h"

#include "Exception.h"
#include "Format.h"
#include "TextLookup.h"

void TPersistent::Assign(const TPersistent& source)
{
    AssignError(source);
}

void TPersistent::AssignError(const TPersistent& source) const
{
    throw EConvertError(FormatTemplate(RuntimeText("Cannot assign a %s to a %s"),
                                       {std::string(source.ClassName()), std::string(ClassName())}));
}
