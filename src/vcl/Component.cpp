// SPDX-License-Identifier: MIT
#include "vcl/Component.h"

TComponent::TComponent(QObject *owner) : QObject(owner) {}

TComponent::~TComponent() = default;

void TComponent::Loaded()
{
    FComponentState &= ~TComponentState(csLoading);
}
