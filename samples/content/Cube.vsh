# Transforms by the matrix in c0..c3 (rows), passes the texture coordinate on and lights by the
# normal against the direction in c4 with the ambient term in c5.
vs_1_1
dcl_texcoord0 v0
dcl_texcoord1 v1
dcl_texcoord2 v2
dp4 oPos.x, v0, c0
dp4 oPos.y, v0, c1
dp4 oPos.z, v0, c2
dp4 oPos.w, v0, c3
mov oT0.xy, v1
dp3 r0.x, v2, c4
max r0.x, r0.x, c5.y
add oD0, r0.x, c5.x
