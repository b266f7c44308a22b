#include "hostmetatypes.h"

#include "comproviderevent.h"
#include "icominterface.h"
#include "icominterfacemodelprovider.h"

#include <QMetaType>

void registerHostMetaTypes()
{
    qRegisterMetaType<IComInterface*>("IComInterface*");
    // QList is a sequential container for QMetaType (iterable and mutable views) by itself.
    qRegisterMetaType<QList<IComInterface*>>("QList<IComInterface*>");
    qRegisterMetaType<ComProviderEvent>("ComProviderEvent");
    qRegisterMetaType<IComInterface::DeviceType>("IComInterface::DeviceType");
    qRegisterMetaType<IComInterface::ComStatus>("IComInterface::ComStatus");
}
