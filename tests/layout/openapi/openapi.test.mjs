// The layout engine's OpenAPI document against the OpenAPI 3.1 schema, and answers of the real
// program (build/sheetora-layout, or $SHEETORA_LAYOUT_PROGRAM) against the document's schemas.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { fileURLToPath } from 'node:url';
import { Validator } from '@seriousme/openapi-schema-validator';
import Ajv2020 from 'ajv/dist/2020.js';

const root = fileURLToPath(new URL('../../../', import.meta.url));
const document = JSON.parse(readFileSync(`${root}layout/openapi.json`, 'utf8'));
const program = process.env.SHEETORA_LAYOUT_PROGRAM ?? `${root}build/sheetora-layout`;

/// The document's schema of that name, compiled with the rest of the document around it.
function schema(name) {
  const ajv = new Ajv2020({ strict: false, allErrors: true });
  ajv.addSchema(document, 'openapi.json');
  return ajv.getSchema(`openapi.json#/components/schemas/${name}`);
}

function run(request, args = []) {
  const result = spawnSync(program, args, { input: JSON.stringify(request), encoding: 'utf8' });
  assert.equal(result.error, undefined, `cannot run ${program}`);
  return result;
}

test('the document is valid OpenAPI 3.1', async () => {
  const result = await new Validator().validate(document);
  assert.equal(document.openapi, '3.1.0');
  assert.ok(result.valid, JSON.stringify(result.errors, null, 2));
});

test('answers and refusals of the program match the document', () => {
  const plain = { sheet: { length: 1092, width: 787 }, piece: { length: 210, width: 140 } };
  const answers = [
    plain,
    { ...plain, bleed: 3, margins: { gripper: 10 }, grain: 'length' },
    { ...plain, cut: 'die', time_limit_ms: 50 },
    { unit: 'in', sheet: { length: 40, width: 28 }, piece: { length: 2, width: 0.04 }, time_limit_ms: 100 },
    {
      sheet: { length: 546, width: 393 }, piece: { length: 210, width: 297 }, time_limit_ms: 200,
      job: { quantity: 5000, parent: { length: 1092, width: 787 }, grammage: 157, price: { per_tonne: 6000 } },
    },
    { ...plain, piece: { length: 2000, width: 140 }, job: { quantity: 10 } },
    { ...plain, sides: 'work-and-turn', max_stack: 2, marks: { slug: false } },
  ];
  const request = schema('Request'), answer = schema('Answer'), error = schema('Error');
  for (const body of answers) {
    assert.ok(request(body), JSON.stringify(request.errors));
    const result = run(body);
    assert.equal(result.status, 0, result.stderr);
    assert.ok(answer(JSON.parse(result.stdout)), JSON.stringify(answer.errors));
  }
  const refused = run({ ...plain, piece: { length: 210 } });
  assert.equal(refused.status, 2);
  assert.ok(error(JSON.parse(refused.stderr)), JSON.stringify(error.errors));
  assert.ok(!request({ ...plain, colour: 'red' }), 'the schema refuses unknown fields too');
});

test('gang answers and refusals of the program match the document', () => {
  const gang = {
    sheet: { length: 720, width: 520 }, margins: { gripper: 10 }, bleed: 3,
    items: [
      { id: 'cards', length: 90, width: 55, quantity: 5000 },
      { id: 'flyers', length: 210, width: 99, quantity: 2000, grain: 'length', bleed: 2 },
    ],
  };
  const answers = [
    gang,
    { ...gang, max_layouts: 1, makeready: 30, setup_sheets: 12.5, overs: 2 },
    { ...gang, cut: 'die', paper: { parent: { length: 1040, width: 1440 }, grammage: 150, price: { per_sheet: 0.2 } } },
  ];
  const request = schema('GangRequest'), answer = schema('GangAnswer'), error = schema('Error');
  for (const body of answers) {
    assert.ok(request(body), JSON.stringify(request.errors));
    const result = run(body, ['--gang']);
    assert.equal(result.status, 0, result.stderr);
    assert.ok(answer(JSON.parse(result.stdout)), JSON.stringify(answer.errors));
  }
  const refused = run({ ...gang, items: [] }, ['--gang']);
  assert.equal(refused.status, 2);
  assert.ok(error(JSON.parse(refused.stderr)), JSON.stringify(error.errors));
  assert.ok(!request({ ...gang, piece: { length: 1, width: 1 } }), 'the schema refuses unknown fields too');
});
