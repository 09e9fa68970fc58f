// Reads and writes Sparkplug B payloads with the sparkplug-payload package (Eclipse Tahu's),
// for the tests and scripts/demo-mqtt: a decoder nobody here wrote. One request a line on
// standard input, one answer a line on standard output:
//
//   <topic> <payload in hex>   ->  {"topic":"...","timestamp":...,"seq":...,"metrics":[...]}
//   encode <payload as JSON>   ->  the payload in hex (NCMD and DCMD the tests send)
//
// With --text the decoded lines are short text for people (the demo), e.g.
//   spBv1.0/qnview/DDATA/qnlog-demo/QN-210_3_127.0.0.11 seq=7 AI1=1.25 AI1/Raw=1024
'use strict';
const readline = require('readline');
const sparkplug = require('sparkplug-payload').get('spBv1.0');

const text = process.argv.includes('--text');

// A reader that has seen enough (the demo's `head`) closes the pipe: stop quietly.
process.stdout.on('error', (e) => {
  if (e.code === 'EPIPE') process.exit(0);
  throw e;
});

// Long (protobufjs's 64-bit integer) as a plain number.
function plain(key, value) {
  if (value && typeof value === 'object' && 'low' in value && 'high' in value && typeof value.toNumber === 'function')
    return value.toNumber();
  return value;
}

function asText(topic, p) {
  const parts = [topic];
  if (p.seq !== undefined) parts.push('seq=' + plain('', p.seq));
  for (const m of p.metrics || []) {
    let v = plain('', m.value);
    if (typeof v === 'number' && !Number.isInteger(v)) v = +v.toPrecision(6);
    let line = m.name + '=' + v;
    const props = m.properties || {};
    if (props.engUnit && props.engUnit.value) line += ' ' + props.engUnit.value;
    if (props.Signal && props.Signal.value) line += ' (' + props.Signal.value + ')';
    parts.push(line);
  }
  return parts.join(' ');
}

const input = readline.createInterface({ input: process.stdin });
input.on('line', (line) => {
  try {
    if (line.startsWith('encode ')) {
      process.stdout.write(Buffer.from(sparkplug.encodePayload(JSON.parse(line.slice(7)))).toString('hex') + '\n');
      return;
    }
    const at = line.lastIndexOf(' ');
    const topic = line.slice(0, at);
    const payload = sparkplug.decodePayload(Buffer.from(line.slice(at + 1), 'hex'));
    process.stdout.write((text ? asText(topic, payload) : JSON.stringify({ topic, ...payload }, plain)) + '\n');
  } catch (e) {
    process.stdout.write(JSON.stringify({ error: String(e) }) + '\n');
  }
});
