// Thread-safe reference count for the data-access objects.
#pragma once

#include <atomic>

namespace ado
{

template <class Interface> class RefCounted : public Interface
{
public:
    unsigned long AddRef() override { return ++m_refs; }
    unsigned long Release() override
    {
        unsigned long left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }

private:
    std::atomic<unsigned long> m_refs{1};
};

} // namespace ado
