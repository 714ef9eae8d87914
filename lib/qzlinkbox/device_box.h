// TqzDeviceBox: a list-only box that shows an I/O component's device list and passes the
// user's pick back as the component's current device.
#pragma once

#include <cstdint>

#include "qzclasses/base_io.h"
#include "qzclasses/component.h"
#include "qzclasses/message.h"
#include "qzclasses/types.h"
#include "qzlinkbox/list_control.h"

namespace qz {

// While linked, item i shows entry i of the component's device list. The box keeps only
// the texts: ItemDevice looks the record up in the linked component, so an item never
// refers to a record the component has freed. Main thread only.
class TqzDeviceBox : public Component {
 public:
  // `control` shows the items; it must outlive the box.
  TqzDeviceBox(Component* owner, DeviceListControl& control);
  // Leaves the linked component's listeners.
  ~TqzDeviceBox() override;

  Text ClassName() const override { return u"TqzDeviceBox"; }

  TqzBaseIO* GetqzLink() const { return fComm; }
  // Refills the box from Value (also when Value is the current link): the component loads
  // its list first if it is empty, its DeviceIndex is selected without running the change
  // step, and the box listens to it. Leaving a former component removes the box from its
  // listeners and removal notices, so no component keeps calling a box it is not linked to.
  void SetqzLink(TqzBaseIO* Value);
  bool GetResetOnChanged() const { return fReset; }
  void SetResetOnChanged(bool Value) { fReset = Value; }
  const TNotifyEvent& GetOnChange() const { return fOnChange; }
  void SetOnChange(const TNotifyEvent& Value) { fOnChange = Value; }

  DeviceListControl& Control() const { return fControl; }
  // The record item Index stands for: the linked component's entry at Index, or null when
  // unlinked or outside its list.
  TqzDevice* ItemDevice(std::int32_t Index) const;

  // Links again to the current component; with none, empties the box.
  void Reload();
  // Passes a device-change message to the linked component; an unlinked box ignores it.
  virtual void WMDeviceChange(Message& Msg);
  // The listener the box adds to its component: code 3 reloads, other codes are ignored.
  void DeviceNotify(Component* Sender, std::int32_t Code);
  // The user picked an item: the component's DeviceIndex becomes its position (which
  // reloads the box), then OnChange fires. Unlinked, nothing happens beyond the display.
  virtual void Change();

  // The linked component going away clears the link and the selection; the texts stay.
  void Notification(Component* AComponent, Operation AOperation) override;

 private:
  TqzNotifyEvent DeviceNotifyMethod() { return TqzNotifyEvent::Bind<&TqzDeviceBox::DeviceNotify>(this); }
  void Unlink();

  DeviceListControl& fControl;
  TqzBaseIO* fComm = nullptr;
  bool fReset = false;
  TNotifyEvent fOnChange;
};

}  // namespace qz
