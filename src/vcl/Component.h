// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

#include "vcl/Persistent.h"

// A named component owned by its window. Ownership is QObject parentage, in
// insertion order, so a window's children list in the order of its definition.
class TComponent : public QObject, public vcl::IComponent
{
    Q_OBJECT

public:
    enum ComponentStateFlag {
        csLoading = 0x1, // the window definition is being read into it
    };
    Q_DECLARE_FLAGS(TComponentState, ComponentStateFlag)

    explicit TComponent(QObject *owner = nullptr);
    ~TComponent() override;

    TComponentState ComponentState() const { return FComponentState; }

    // Called by the window loader before the stored values and blocks are
    // handed over; Loaded() ends the loading state.
    void BeginLoading() override { FComponentState |= csLoading; }
    // Runs once the whole window definition has been read.
    void Loaded() override;

protected:
    TComponentState FComponentState;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TComponent::TComponentState)
