#pragma once

// Reference counting for a job's render object. The count is a plain
// integer: a render object belongs to one job, driven by one thread.
class IObjRef {
public:
    virtual long AddRef() = 0;
    virtual long Release() = 0;
    virtual void OnFinalRelease() = 0;

protected:
    ~IObjRef() = default;
};

template <class I>
class TObjRefImpl : public I {
public:
    TObjRefImpl() = default;
    TObjRefImpl(const TObjRefImpl &) = delete;
    TObjRefImpl &operator=(const TObjRefImpl &) = delete;

    long AddRef() override { return ++refCount; }
    long Release() override
    {
        const long count = --refCount;
        if (count == 0)
            OnFinalRelease();
        return count;
    }
    // Objects of this family are always created with new and owned through
    // their reference count, so the last release deletes them.
    void OnFinalRelease() override { delete this; }
    virtual ~TObjRefImpl() = default;

    int GetRefCount() const { return refCount; }

private:
    int refCount = 1;  // a new object is owned by its creator
};

// Carries a freshly created object into a CStdRefPtr, which adopts the
// object's initial reference instead of adding one.
template <class T>
class MakeRefPtr {
public:
    explicit MakeRefPtr(T *object) : pointer(object) {}
    T *get() const { return pointer; }

private:
    T *pointer;
};

template <class T>
class CStdRefPtr {
public:
    CStdRefPtr() = default;
    CStdRefPtr(const CStdRefPtr &) = delete;
    CStdRefPtr &operator=(const CStdRefPtr &) = delete;
    ~CStdRefPtr() { Reset(); }

    T *operator=(const MakeRefPtr<T> &m)
    {
        if (m.get() != pointer) {
            if (pointer != nullptr)
                pointer->Release();
            pointer = m.get();
        }
        return pointer;
    }
    T *operator->() const { return pointer; }
    operator T *() const { return pointer; }
    bool operator==(T *other) const { return pointer == other; }
    bool operator!=(T *other) const { return pointer != other; }

    // Drops the held reference now (used by tests and at process exit).
    void Reset()
    {
        T *old = pointer;
        pointer = nullptr;
        if (old != nullptr)
            old->Release();
    }

private:
    T *pointer = nullptr;
};
