#pragma once

// Registers by name the meta-types that cross the host boundary: "IComInterface*",
// "QList<IComInterface*>", "ComProviderEvent" and the two IComInterface enumerations.
// Safe to call any number of times.
void registerHostMetaTypes();
