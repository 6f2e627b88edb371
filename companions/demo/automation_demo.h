#pragma once
// The demo's automation part: another program tries to attach to the word
// processor through automation and is refused, while the product's own tool
// may; inside a document whose letters deny copying a worksheet cannot be
// embedded, until the controller grants the copy right.
#include "companions/demo/controller_process.h"
#include "host_client.h"

// word: the word processor, reached by the global hooks; plain: an ordinary
// program. False when a step had an unexpected outcome.
bool DemoAutomation(hosts::HostClient& word, hosts::HostClient& plain, ControllerProcess& zelctl);
