// The arrays of owned components inside the MIME classes: indexed access
// that throws outside 0 .. count-1, insertion that adopts and marks the
// owner modified, deep copies and deletion.
#ifndef MAIL_SRC_OWNED_ITEMS_H
#define MAIL_SRC_OWNED_ITEMS_H

#include <mail/mime.h>

#include <vector>

template <class T>
T& ItemAt(const std::vector<T*>& items, int index)
{
    if (index < 0 || index >= (int)items.size())
        throw DwBoundsException();
    return *items[index];
}

template <class T>
void InsertItem(std::vector<T*>& items, int index, T* item, DwMessageComponent* owner)
{
    if (index < 0 || index > (int)items.size())
        throw DwBoundsException();
    item->SetParent(owner);
    items.insert(items.begin() + index, item);
    owner->SetModified();
}

template <class T>
void CloneItems(const std::vector<T*>& from, std::vector<T*>& to, DwMessageComponent* owner)
{
    for (T* item : from) {
        T* copy = (T*)item->Clone();
        copy->SetParent(owner);
        to.push_back(copy);
    }
}

template <class T>
void DeleteItems(std::vector<T*>& items)
{
    for (T* item : items)
        delete item;
    items.clear();
}

#endif
