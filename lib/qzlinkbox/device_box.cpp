// TqzDeviceBox: linking, reloading and the user's pick.
#include "qzlinkbox/device_box.h"

namespace qz {

TqzDeviceBox::TqzDeviceBox(Component* owner, DeviceListControl& control)
    : Component(owner), fControl(control) {}

TqzDeviceBox::~TqzDeviceBox() { Unlink(); }

void TqzDeviceBox::Unlink() {
  TqzBaseIO* former = fComm;
  fComm = nullptr;
  if (!former) return;
  former->NotifyDelete(DeviceNotifyMethod());
  RemoveFreeNotification(former);
}

void TqzDeviceBox::SetqzLink(TqzBaseIO* Value) {
  if (fComm != Value) Unlink();
  fControl.ClearItems();
  fControl.SetItemIndex(-1);
  if (Value) {
    TqzDeviceList list;
    // Loading an empty list may notify, and a listed box then reloads from in here:
    // the items are filled from scratch afterwards, so none appear twice.
    Value->GetDeviceList(&list);
    fControl.ClearItems();
    for (const auto& entry : list) fControl.AddItem(entry.first);
    fControl.SetItemIndex(Value->GetDeviceIndex());
    Value->NotifyAdd(DeviceNotifyMethod());
    FreeNotification(Value);
  }
  fComm = Value;
}

TqzDevice* TqzDeviceBox::ItemDevice(std::int32_t Index) const {
  return fComm ? fComm->GetDevice(Index) : nullptr;
}

void TqzDeviceBox::Reload() { SetqzLink(fComm); }

void TqzDeviceBox::WMDeviceChange(Message& Msg) {
  if (fComm) fComm->WMDeviceChange(Msg);
}

void TqzDeviceBox::DeviceNotify(Component*, std::int32_t Code) {
  if (Code == 3) Reload();
}

void TqzDeviceBox::Change() {
  if (!fComm) return;
  fComm->SetDeviceIndex(fControl.ItemIndex());
  if (fOnChange) fOnChange(this);
}

void TqzDeviceBox::Notification(Component* AComponent, Operation AOperation) {
  Component::Notification(AComponent, AOperation);
  if (AOperation == Operation::Remove && AComponent != nullptr &&
      AComponent == static_cast<Component*>(fComm)) {
    fComm = nullptr;
    fControl.SetItemIndex(-1);
  }
}

}  // namespace qz
