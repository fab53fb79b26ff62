#pragma once

// JSON of the exchange-rate service's answers: parsed with numbers kept as received.
