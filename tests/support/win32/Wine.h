// Whether this Windows program runs under Wine, for the few expectations that differ.
#pragma once

bool UnderWine();
